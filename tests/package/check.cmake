# Builds and runs the consumers of tests/package/consumer against installed packages, as
# integrators build them: a CMake project that sets no language standard of its own, and a plain
# compiler call with `pkg-config --cflags --libs vanto`.
#
# -DVANTO_BUILD_DIR=<build>      installs that build (a static library) into a scratch prefix
# -DSHARED_TOO=ON                also configures, builds and installs a shared library
#                                (needs -DVANTO_SOURCE_DIR)
# -DPREFIX=<prefix>              uses what is installed there already (the Debian package: /usr)
# -DWITH_QT=ON                   the static build has the Qt binding: present a screen with it too
# -DWORK_DIR=<dir>               where to work

function(run)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "failed (${status}): ${ARGN}\n${out}")
    endif()
    set(output "${out}" PARENT_SCOPE)
endfunction()

# Both consumers against the package installed under `prefix`; `name` labels the work folders.
# With `sandbox` set, the CMake consumer also pays against the package's sandbox component; with
# `qt` set, it also presents a screen through the Qt component.
function(check_consumers name prefix sandbox qt)
    set(work ${WORK_DIR}/${name})
    file(REMOVE_RECURSE ${work})
    run(${CMAKE_COMMAND} -S ${CONSUMERS}/consumer -B ${work}/cmake -G Ninja
        -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE} -DWITH_SANDBOX=${sandbox} -DWITH_QT=${qt})
    run(${CMAKE_COMMAND} --build ${work}/cmake)
    run(${work}/cmake/consumer)
    if(sandbox)
        run(${work}/cmake/sandbox_consumer)
    endif()
    if(qt)
        run(${work}/cmake/qt_consumer)
    endif()

    set(pc_dir "")
    foreach(candidate lib lib64 lib/x86_64-linux-gnu)
        if(NOT pc_dir AND EXISTS ${prefix}/${candidate}/pkgconfig/vanto.pc)
            set(pc_dir ${prefix}/${candidate}/pkgconfig)
        endif()
    endforeach()
    if(NOT pc_dir)
        message(FATAL_ERROR "no vanto.pc under ${prefix}")
    endif()
    run(${CMAKE_COMMAND} -E env PKG_CONFIG_PATH=${pc_dir} pkg-config --cflags --libs vanto)
    string(STRIP "${output}" flags)
    separate_arguments(flags UNIX_COMMAND "${flags}")
    file(MAKE_DIRECTORY ${work}/pkg-config)
    run(c++ ${CONSUMERS}/consumer/main.cpp ${flags} -o ${work}/pkg-config/consumer)
    get_filename_component(lib_dir ${pc_dir} DIRECTORY)
    run(${CMAKE_COMMAND} -E env LD_LIBRARY_PATH=${lib_dir} ${work}/pkg-config/consumer)
    message(STATUS "${name}: the CMake and the pkg-config consumer built and ran")
endfunction()

if(VANTO_BUILD_DIR)
    file(REMOVE_RECURSE ${WORK_DIR}/static-prefix)
    run(${CMAKE_COMMAND} --install ${VANTO_BUILD_DIR} --prefix ${WORK_DIR}/static-prefix)
    if(NOT DEFINED WITH_QT)
        set(WITH_QT OFF)
    endif()
    check_consumers(static ${WORK_DIR}/static-prefix ON ${WITH_QT})
endif()

if(SHARED_TOO)
    set(build ${WORK_DIR}/shared-build)
    run(${CMAKE_COMMAND} -S ${VANTO_SOURCE_DIR} -B ${build} -G Ninja
        -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE} -DBUILD_SHARED_LIBS=ON -DVANTO_BUILD_TESTS=OFF
        -DVANTO_BUILD_CLI=OFF -DVANTO_BUILD_BENCHMARKS=OFF -DVANTO_BUILD_SANDBOX=OFF)
    run(${CMAKE_COMMAND} --build ${build})
    file(REMOVE_RECURSE ${WORK_DIR}/shared-prefix)
    run(${CMAKE_COMMAND} --install ${build} --prefix ${WORK_DIR}/shared-prefix)
    file(GLOB shared_objects ${WORK_DIR}/shared-prefix/lib*/libvanto.so.*)
    if(NOT shared_objects)
        message(FATAL_ERROR "the shared build installed no libvanto.so")
    endif()
    check_consumers(shared ${WORK_DIR}/shared-prefix OFF OFF)
endif()

if(PREFIX)
    check_consumers(system ${PREFIX} OFF OFF)
endif()
