# Compile settings shared by every target of the project.
add_library(project_options INTERFACE)
target_compile_features(project_options INTERFACE cxx_std_17)
target_compile_definitions(project_options INTERFACE
    QT_USE_QSTRINGBUILDER
    QT_DISABLE_DEPRECATED_BEFORE=0x050F00
    QT_NO_URL_CAST_FROM_STRING)
if(MSVC)
    target_compile_options(project_options INTERFACE /W4 /utf-8)
    if(WARNINGS_AS_ERRORS)
        target_compile_options(project_options INTERFACE /WX)
    endif()
else()
    target_compile_options(project_options INTERFACE -Wall -Wextra -Wpedantic)
    if(WARNINGS_AS_ERRORS)
        target_compile_options(project_options INTERFACE -Werror)
    endif()
endif()
# Every sanitizer finding ends the process, so a test that meets one fails
# instead of printing a report in an otherwise green run.
set(LF_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
if(WITH_ASAN)
    target_compile_options(project_options INTERFACE ${LF_SANITIZER_FLAGS})
    target_link_options(project_options INTERFACE -fsanitize=address,undefined)
endif()
add_feature_info(ASan WITH_ASAN "AddressSanitizer and UBSan")

# libFuzzer: every target is instrumented for coverage and sanitized; only the
# fuzz programs link libFuzzer's main (fuzz/CMakeLists.txt).
if(BUILD_FUZZERS)
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        message(FATAL_ERROR "BUILD_FUZZERS needs clang: configure with -DCMAKE_CXX_COMPILER=clang++ (tools/fuzz.sh does)")
    endif()
    target_compile_options(project_options INTERFACE -fsanitize=fuzzer-no-link ${LF_SANITIZER_FLAGS})
    target_link_options(project_options INTERFACE -fsanitize=address,undefined)
endif()
add_feature_info(Fuzzers BUILD_FUZZERS "libFuzzer targets for the parsers and the extractor")
