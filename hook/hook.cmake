# hook.dll: the system-wide keyboard hook that delivers the capture key.
# The settings rules and the capture-key decision come from kelvo_core, so
# the hook reads CTRL, SHIFT and KEY exactly as Kelvo writes them.
add_library(hook SHARED ${CMAKE_CURRENT_LIST_DIR}/hook.cpp ${CMAKE_CURRENT_LIST_DIR}/hook.def)
set_target_properties(hook PROPERTIES PREFIX "" OUTPUT_NAME hook)
target_link_libraries(hook PRIVATE kelvo_core user32 advapi32 kernel32)
# Kelvo looks the procedure up as "KeyHookProc"; the 32-bit compiler calls
# the stdcall function _KeyHookProc@12, and hook.def exports it undecorated.
target_link_options(hook PRIVATE -Wl,--enable-stdcall-fixup)
