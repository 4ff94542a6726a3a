# Cross build for 32-bit Windows with Debian's MinGW-w64 compilers (the posix
# thread model, which std::thread and std::mutex need).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(tunedeck_mingw_triplet i686-w64-mingw32)
# SSE2 arithmetic, as on x86-64, so both builds compute the same samples (x87
# keeps 80-bit intermediates); every processor a 32-bit host runs on today
# has it. A 32-bit Windows host calls in with the stack aligned to 4 bytes
# only: functions that keep SSE values on the stack realign it themselves.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse -mstackrealign")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse -mstackrealign")
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
