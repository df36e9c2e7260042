<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ko_KR" sourcelanguage="en_US">
<context>
    <name>ViewerMainWindow</name>
    <message>
        <source>Lumenfolio Epub Viewer</source>
        <translation>Lumenfolio Epub 뷰어</translation>
    </message>
    <message>
        <source>!</source>
        <translation>!</translation>
    </message>
    <message>
        <source>Newest</source>
        <translation>최신순</translation>
    </message>
    <message>
        <source>By Title</source>
        <translation>제목순</translation>
    </message>
    <message>
        <source>By Author</source>
        <translation>저자순</translation>
    </message>
    <message>
        <source>Search</source>
        <translation>검색</translation>
    </message>
    <message>
        <source>Open books</source>
        <translation>책 열기</translation>
    </message>
    <message>
        <source>Covers</source>
        <translation>표지 보기</translation>
    </message>
    <message>
        <source>List</source>
        <translation>목록 보기</translation>
    </message>
    <message>
        <source>Select one or more files to open</source>
        <translation>열 파일을 하나 이상 선택하세요</translation>
    </message>
    <message>
        <source>"%1" exist</source>
        <translation>"%1" 있음</translation>
    </message>
    <message>
        <source>"%1" aready exist.
 Do you want to reload to clear the old book?</source>
        <translation>"%1" 책이 이미 있습니다.
 기존 책을 지우고 다시 불러올까요?</translation>
    </message>
</context>
<context>
    <name>ImportRefusal</name>
    <message>
        <source>"%1" not added</source>
        <translation>"%1" 추가 안 됨</translation>
    </message>
    <message numerus="yes">
        <source>%n files not added</source>
        <translation>
            <numerusform>파일 %n개 추가 안 됨</numerusform>
        </translation>
    </message>
    <message>
        <source>"%1": %2</source>
        <translation>"%1": %2</translation>
    </message>
    <message numerus="yes">
        <source>and %n more</source>
        <translation>
            <numerusform>외 %n개</numerusform>
        </translation>
    </message>
    <message>
        <source>The file cannot be read.</source>
        <translation>파일을 읽을 수 없습니다.</translation>
    </message>
    <message>
        <source>Its file name cannot name a book here.
Rename the file and add it again.</source>
        <translation>이 파일 이름은 책 이름으로 쓸 수 없습니다.
파일 이름을 바꾼 뒤 다시 추가하세요.</translation>
    </message>
    <message>
        <source>The library folder cannot be written to.</source>
        <translation>서재 폴더에 쓸 수 없습니다.</translation>
    </message>
    <message>
        <source>The file is not an EPUB book:
it is no ZIP archive, or an empty one.</source>
        <translation>EPUB 책이 아닙니다:
ZIP 압축 파일이 아니거나 빈 압축 파일입니다.</translation>
    </message>
    <message>
        <source>The file is one part of an archive
split over several files.
Join the parts into one file first.</source>
        <translation>여러 파일로 나뉜 압축 파일의 일부입니다.
먼저 나뉜 파일들을
하나의 파일로 합치세요.</translation>
    </message>
    <message>
        <source>The book is compressed or encrypted
in a way this program cannot read.</source>
        <translation>이 프로그램이 읽을 수 없는 방식으로
압축되거나 암호화된 책입니다.</translation>
    </message>
    <message>
        <source>The book holds more than %1 files.</source>
        <translation>책에 파일이 %1개보다 많습니다.</translation>
    </message>
    <message>
        <source>The book would unpack to more than %1 GB.</source>
        <translation>책의 압축을 풀면 %1GB를 넘습니다.</translation>
    </message>
    <message>
        <source>The book would unpack to more than
%1 times its own size.</source>
        <translation>책의 압축을 풀면
원래 크기의 %1배를 넘습니다.</translation>
    </message>
    <message>
        <source>There is not enough free disk space
to unpack the book.</source>
        <translation>책의 압축을 풀
디스크 여유 공간이 부족합니다.</translation>
    </message>
    <message>
        <source>The book's archive is damaged.</source>
        <translation>책의 압축 파일이 손상되었습니다.</translation>
    </message>
    <message>
        <source>The book could not be written to the disk.</source>
        <translation>책을 디스크에 쓸 수 없습니다.</translation>
    </message>
    <message>
        <source>The file is not an EPUB book:
it has no EPUB mimetype file.</source>
        <translation>EPUB 책이 아닙니다:
EPUB mimetype 파일이 없습니다.</translation>
    </message>
    <message>
        <source>The book names a package document
outside the book.</source>
        <translation>책이 책 바깥에 있는
패키지 문서를 가리킵니다.</translation>
    </message>
    <message>
        <source>The book has no package document
or no pages to show.</source>
        <translation>책에 패키지 문서가 없거나
보여 줄 페이지가 없습니다.</translation>
    </message>
    <message>
        <source>The book has more than %1 pages
or more than %2 files in its package.</source>
        <translation>책의 페이지가 %1개보다 많거나
패키지의 파일이 %2개보다 많습니다.</translation>
    </message>
    <message>
        <source>The book could not be moved
into the library folder.</source>
        <translation>책을 서재 폴더로
옮길 수 없습니다.</translation>
    </message>
</context>
<context>
    <name>LibraryMove</name>
    <message>
        <source>Some books are still in a temporary folder</source>
        <translation>일부 책이 아직 임시 폴더에 있습니다</translation>
    </message>
    <message>
        <source>and %1 more</source>
        <translation>외 %1권</translation>
    </message>
    <message>
        <source>An earlier version of the program is using them. They move at the next start after it is closed.</source>
        <translation>이전 버전의 프로그램이 이 책들을 쓰고 있습니다. 그 프로그램을 닫은 뒤 다음에 시작할 때 옮겨집니다.</translation>
    </message>
    <message>
        <source>They could not be moved into the library: a book of the same name is already there, or a file could not be copied. The program tries again at every start.</source>
        <translation>이 책들을 서재로 옮기지 못했습니다: 같은 이름의 책이 이미 있거나 파일을 복사할 수 없었습니다. 프로그램은 시작할 때마다 다시 시도합니다.</translation>
    </message>
    <message>
        <source>These books are in %1, a folder the system empties when the computer starts:</source>
        <translation>다음 책들은 %1에 있습니다. 이 폴더는 컴퓨터가 시작될 때 시스템이 비웁니다:</translation>
    </message>
    <message>
        <source>Copy them to another folder before the computer restarts to keep them.</source>
        <translation>책을 보존하려면 컴퓨터를 다시 시작하기 전에 다른 폴더로 복사하세요.</translation>
    </message>
</context>
<context>
    <name>Startup</name>
    <message>
        <source>The program cannot start</source>
        <translation>프로그램을 시작할 수 없습니다</translation>
    </message>
    <message>
        <source>The library folder cannot be used:
%1

Free some space on the disk, or make the folder writable, then start the program again.</source>
        <translation>서재 폴더를 사용할 수 없습니다:
%1

디스크 공간을 확보하거나 폴더에 쓸 수 있게 한 뒤 프로그램을 다시 시작하세요.</translation>
    </message>
</context>
<context>
    <name>ViewerDefaultDialog</name>
    <message>
        <source>Dialog</source>
        <translation>대화 상자</translation>
    </message>
    <message>
        <source>New Version Released</source>
        <translation>새 버전 출시</translation>
    </message>
    <message>
        <source>Version 1.0.0</source>
        <translation>버전 1.0.0</translation>
    </message>
    <message>
        <source>This new version has been released.
 Do you want to download file?</source>
        <translation>새 버전이 출시되었습니다.
 파일을 다운로드하시겠습니까?</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>예</translation>
    </message>
    <message>
        <source>No</source>
        <translation>아니요</translation>
    </message>
</context>
<context>
    <name>ViewerAlertForm</name>
    <message>
        <source>Form</source>
        <translation>양식</translation>
    </message>
    <message>
        <source>Unzip</source>
        <translation>압축 풀기</translation>
    </message>
    <message>
        <source>The decompression progress.</source>
        <translation>압축을 푸는 중입니다.</translation>
    </message>
</context>
<context>
    <name>VersionInfoDialog</name>
    <message>
        <source>About Lumenfolio Epub Viewer</source>
        <translation>Lumenfolio Epub 뷰어 정보</translation>
    </message>
    <message>
        <source>Version Infomation</source>
        <translation>버전 정보</translation>
    </message>
    <message>
        <source>Version : </source>
        <translation>버전 : </translation>
    </message>
    <message>
        <source>Copyright © 2026 Brightquill Labs, Inc. All rights reserved.</source>
        <translation>Copyright © 2026 Brightquill Labs, Inc. 모든 권리 보유.</translation>
    </message>
</context>
<context>
    <name>UpdateMessageForm</name>
    <message>
        <source>New Version Released</source>
        <translation>새 버전 출시</translation>
    </message>
    <message>
        <source>Version 1.0.0</source>
        <translation>버전 1.0.0</translation>
    </message>
    <message>
        <source>This new version has been released.
 Do you want to download file?</source>
        <translation>새 버전이 출시되었습니다.
 파일을 다운로드하시겠습니까?</translation>
    </message>
    <message>
        <source>Ok</source>
        <translation>확인</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>취소</translation>
    </message>
    <message>
        <source>Version %1</source>
        <translation>버전 %1</translation>
    </message>
    <message>
        <source>HTTP</source>
        <translation>HTTP</translation>
    </message>
    <message>
        <source>Unable to save the file : %1.</source>
        <translation>파일을 저장할 수 없습니다 : %1.</translation>
    </message>
    <message>
        <source>Download failed: %1.</source>
        <translation>다운로드 실패: %1.</translation>
    </message>
    <message>
        <source>Redirect to %1 ?</source>
        <translation>%1(으)로 이동하시겠습니까?</translation>
    </message>
    <message>
        <source>%1 of %2 ( %3 /sec )</source>
        <translation>%1 / %2 ( %3 /초 )</translation>
    </message>
    <message>
        <source>Unable to start the installer : %1.</source>
        <translation>설치 프로그램을 시작할 수 없습니다 : %1.</translation>
    </message>
</context>
<context>
    <name>BookListWidget</name>
    <message>
        <source>Delete</source>
        <translation>삭제</translation>
    </message>
    <message>
        <source>Your bookcase is empty.
Add a book with the open button at the top left, or drop .epub files here.</source>
        <translation>책장이 비어 있습니다.
왼쪽 위의 열기 버튼으로 책을 추가하거나 .epub 파일을 여기에 끌어다 놓으세요.</translation>
    </message>
    <message>
        <source>No book matches &quot;%1&quot;.</source>
        <translation>&quot;%1&quot;에 맞는 책이 없습니다.</translation>
    </message>
</context>
<context>
    <name>BookListGridItemForm</name>
    <message>
        <source>Form</source>
        <translation>폼</translation>
    </message>
</context>
<context>
    <name>BookListVerticalItemForm</name>
    <message>
        <source>Form</source>
        <translation>폼</translation>
    </message>
    <message>
        <source>book Title</source>
        <translation>책 제목</translation>
    </message>
    <message>
        <source>Authors</source>
        <translation>저자</translation>
    </message>
    <message>
        <source>Download size : %1MB</source>
        <translation>다운로드 크기 : %1MB</translation>
    </message>
    <message>
        <source>Epub Size : %1MB</source>
        <translation>Epub 크기 : %1MB</translation>
    </message>
</context>
<context>
    <name>ViewerAnnotationListForm</name>
    <message>
        <source>Form</source>
        <translation>폼</translation>
    </message>
</context>
<context>
    <name>ViewerBookmarkListForm</name>
    <message>
        <source>Bookmark</source>
        <translation>북마크</translation>
    </message>
</context>
<context>
    <name>ViewerHighlightListForm</name>
    <message>
        <source>Highlight List</source>
        <translation>하이라이트 목록</translation>
    </message>
</context>
<context>
    <name>ViewerMemoListForm</name>
    <message>
        <source>Memo List</source>
        <translation>메모 목록</translation>
    </message>
</context>
<context>
    <name>ViewerAnnotationItemForm</name>
    <message>
        <source>%1 page</source>
        <translation>%1 페이지</translation>
    </message>
</context>
<context>
    <name>ViewerPageItemForm</name>
    <message>
        <source>Form</source>
        <translation>폼</translation>
    </message>
    <message>
        <source>page number</source>
        <translation>페이지 번호</translation>
    </message>
</context>
<context>
    <name>ViewerHighlightItemForm</name>
    <message>
        <source>Form</source>
        <translation>폼</translation>
    </message>
    <message>
        <source>page number</source>
        <translation>페이지 번호</translation>
    </message>
</context>
<context>
    <name>ViewerMemoItemForm</name>
    <message>
        <source>Form</source>
        <translation>폼</translation>
    </message>
    <message>
        <source>page number</source>
        <translation>페이지 번호</translation>
    </message>
    <message>
        <source>text lable</source>
        <translation>텍스트 라벨</translation>
    </message>
</context>
<context>
    <name>ViewerMemoForm</name>
    <message>
        <source>Form</source>
        <translation>폼</translation>
    </message>
    <message>
        <source>0 Page</source>
        <translation>0 페이지</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>취소</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>확인</translation>
    </message>
</context>
<context>
    <name>ViewerViewWindow</name>
    <message>
        <source>This document cannot be shown.</source>
        <translation>이 문서는 표시할 수 없습니다.</translation>
    </message>
    <message>
        <source>Lumenfolio Epub Viewer</source>
        <translation>Lumenfolio Epub 뷰어</translation>
    </message>
    <message>
        <source>Print</source>
        <translation>인쇄</translation>
    </message>
    <message>
        <source>Previous page</source>
        <translation>이전 페이지</translation>
    </message>
    <message>
        <source>Next page</source>
        <translation>다음 페이지</translation>
    </message>
    <message>
        <source>Zoom in</source>
        <translation>확대</translation>
    </message>
    <message>
        <source>Zoom out</source>
        <translation>축소</translation>
    </message>
    <message>
        <source>Fit width</source>
        <translation>너비 맞춤</translation>
    </message>
    <message>
        <source>Maximise</source>
        <translation>최대화</translation>
    </message>
    <message>
        <source>Both View</source>
        <translation>두 쪽 보기</translation>
    </message>
    <message>
        <source>Contents</source>
        <translation>목차</translation>
    </message>
    <message>
        <source>Bookmarks</source>
        <translation>북마크</translation>
    </message>
    <message>
        <source>Highlights</source>
        <translation>하이라이트</translation>
    </message>
    <message>
        <source>Memos</source>
        <translation>메모</translation>
    </message>
    <message>
        <source>Search</source>
        <translation>검색</translation>
    </message>
    <message>
        <source>Infomation</source>
        <translation>알림</translation>
    </message>
    <message>
        <source>Continue the Book</source>
        <translation>이어 읽기</translation>
    </message>
    <message>
        <source>Would you like to Continue
 the book from %1 page?</source>
        <translation>%1 페이지부터
 이어서 읽으시겠습니까?</translation>
    </message>
</context>
<context>
    <name>ViewerWebPage</name>
    <message>
        <source>javaScriptAlert : %1</source>
        <translation>자바스크립트 경고 : %1</translation>
    </message>
    <message>
        <source>javaScriptConfirm : %1</source>
        <translation>자바스크립트 확인 : %1</translation>
    </message>
    <message>
        <source>javascript console source ID : %1,  line : %2 , message :%3</source>
        <translation>자바스크립트 콘솔 소스 ID : %1,  줄 : %2 , 메시지 :%3</translation>
    </message>
</context>
<context>
    <name>ViewerNotePopup</name>
    <message>
        <source>Note</source>
        <translation>주석</translation>
    </message>
</context>
<context>
    <name>ViewerWebView</name>
    <message>
        <source>Leaving the book</source>
        <translation>책 밖으로 나가기</translation>
    </message>
    <message>
        <source>Open this address?</source>
        <translation>이 주소를 열까요?</translation>
    </message>
    <message>
        <source>It opens in another program.</source>
        <translation>다른 프로그램에서 열립니다.</translation>
    </message>
    <message>
        <source>Yellow</source>
        <translation>노랑</translation>
    </message>
    <message>
        <source>Orange</source>
        <translation>주황</translation>
    </message>
    <message>
        <source>Green</source>
        <translation>초록</translation>
    </message>
    <message>
        <source>Blue</source>
        <translation>파랑</translation>
    </message>
    <message>
        <source>Highlight</source>
        <translation>하이라이트</translation>
    </message>
    <message>
        <source>Memo</source>
        <translation>메모</translation>
    </message>
    <message>
        <source>Remove Highlight and Memo</source>
        <translation>하이라이트와 메모 삭제</translation>
    </message>
    <message>
        <source>Remove Memo</source>
        <translation>메모 삭제</translation>
    </message>
    <message>
        <source>Remove Highlight</source>
        <translation>하이라이트 삭제</translation>
    </message>
    <message>
        <source>Search</source>
        <translation>검색</translation>
    </message>
</context>
<context>
    <name>ViewerTocListWidget</name>
    <message>
        <source>Table of Contents</source>
        <translation>목차</translation>
    </message>
    <message>
        <source>TOC</source>
        <translation>목차</translation>
    </message>
    <message>
        <source>Thumbnail</source>
        <translation>썸네일</translation>
    </message>
</context>
<context>
    <name>ViewerSearchForm</name>
    <message>
        <source>Search</source>
        <translation>검색</translation>
    </message>
</context>
</TS>
