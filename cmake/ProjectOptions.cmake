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
if(WITH_ASAN)
    target_compile_options(project_options INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer)
    target_link_options(project_options INTERFACE -fsanitize=address,undefined)
endif()
add_feature_info(ASan WITH_ASAN "AddressSanitizer and UBSan")
