# Cross build for 32-bit x86 with Debian's cross compiler and the :i386 libraries
# (g++-i686-linux-gnu, libsdl1.2-compat-dev:i386, libpng-dev:i386):
#   cmake -S . -B build-i686 -DCMAKE_TOOLCHAIN_FILE=cmake/i686-linux-gnu.cmake
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER i686-linux-gnu-g++)
# pkg-config reads the target's .pc files, not the build machine's.
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/i386-linux-gnu/pkgconfig:/usr/share/pkgconfig)
# Where the :i386 libraries could not be installed beside this machine's own, tools/packages.sh
# unpacks them into a folder of their own, which FIGURES_I386_ROOT in the environment names.
if(DEFINED ENV{FIGURES_I386_ROOT})
    set(i386_root $ENV{FIGURES_I386_ROOT})
    set(ENV{PKG_CONFIG_LIBDIR} ${i386_root}/usr/lib/i386-linux-gnu/pkgconfig:${i386_root}/usr/share/pkgconfig)
    set(ENV{PKG_CONFIG_SYSROOT_DIR} ${i386_root})
    set(CMAKE_FIND_ROOT_PATH ${i386_root})
    string(APPEND CMAKE_CXX_FLAGS_INIT
           " -I${i386_root}/usr/include/i386-linux-gnu -I${i386_root}/usr/include")
    foreach(dir usr/lib/i386-linux-gnu lib/i386-linux-gnu)
        string(APPEND CMAKE_EXE_LINKER_FLAGS_INIT
               " -L${i386_root}/${dir} -Wl,-rpath-link,${i386_root}/${dir}")
    endforeach()
endif()
