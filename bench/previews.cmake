# The preview tool that bench/all times against libvips and ImageMagick.
add_executable(preview_tool ${CMAKE_CURRENT_LIST_DIR}/preview_tool.cpp)
target_link_libraries(preview_tool PRIVATE webview platform_pictures lb_warnings)
add_dependencies(preview_tool lyrabinder_pictures)
