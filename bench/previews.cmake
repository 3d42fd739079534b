# The preview tool that previews.sh times against ImageMagick and libvips.
add_executable(preview_tool ${CMAKE_CURRENT_LIST_DIR}/preview_tool.cpp)
target_link_libraries(preview_tool PRIVATE webview platform_qt lb_warnings)
