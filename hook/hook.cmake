# hook.dll: the system-wide keyboard hook that delivers the capture key.
add_library(hook SHARED ${CMAKE_CURRENT_LIST_DIR}/hook.cpp ${CMAKE_CURRENT_LIST_DIR}/hook.def)
set_target_properties(hook PROPERTIES PREFIX "" OUTPUT_NAME hook)
target_link_libraries(hook PRIVATE user32 advapi32)
