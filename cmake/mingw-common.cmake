# Shared part of the MinGW-w64 cross toolchains; the arch files set the triple.
# The posix thread model: GoogleTest needs std::mutex, which the win32 model lacks.
set(CMAKE_C_COMPILER ${QUORLIN_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUORLIN_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${QUORLIN_TRIPLE}-windres)
set(QUORLIN_WIDL ${QUORLIN_TRIPLE}-widl)
set(QUORLIN_OBJDUMP ${QUORLIN_TRIPLE}-objdump)
set(CMAKE_FIND_ROOT_PATH /usr/${QUORLIN_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
