# Builds and runs the consumers of tests/package/consumer against an installed package, as
# integrators build them: a CMake project that sets no language standard of its own, and plain
# compiler calls with `pkg-config --cflags --libs vanto-<component>`. Besides a program on the
# library alone, the Qt card-entry screen (which must load no Qt WebEngine library) and the Qt
# payment page, the consumers are the installed guide's code samples.
#
# -DPREFIX=<prefix>          uses what is installed there (the Debian packages: /usr)
# -DVANTO_BUILD_DIR=<build>  installs that build into a scratch prefix first, and checks there
#                            that a component not installed, unknown or without its own
#                            dependencies fails by name
# -DSHARED_TOO=ON            also a shared build of the library (needs -DVANTO_SOURCE_DIR):
#                            installed and used the same way, and its Debian packages made and read
# -DCOMPONENTS=<list>        the package's components to use (they must be installed), separated
#                            by semicolons or commas
# -DMISSING=<component>      with PREFIX: only checks that asking for it fails, naming it
# -DWORK_DIR=<dir>           where to work

cmake_policy(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/../../docs/GuideSamples.cmake)
string(REPLACE "," ";" COMPONENTS "${COMPONENTS}")

function(run)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "failed (${status}): ${ARGN}\n${out}")
    endif()
    set(output "${out}" PARENT_SCOPE)
endfunction()

# The folder of the pkg-config files under `prefix`.
function(pkg_config_dir out prefix)
    foreach(candidate lib lib64 lib/x86_64-linux-gnu)
        if(EXISTS ${prefix}/${candidate}/pkgconfig/vanto.pc)
            set(${out} ${prefix}/${candidate}/pkgconfig PARENT_SCOPE)
            return()
        endif()
    endforeach()
    message(FATAL_ERROR "no vanto.pc under ${prefix}")
endfunction()

# The components the installed package configuration knows.
function(known_components out pc_dir)
    get_filename_component(lib_dir ${pc_dir} DIRECTORY)
    file(STRINGS ${lib_dir}/cmake/VantoInLibrary/VantoInLibraryConfig.cmake line
         REGEX "^set\\(VantoInLibrary_COMPONENTS ")
    string(REGEX REPLACE "^set\\(VantoInLibrary_COMPONENTS (.*)\\)$" "\\1" names "${line}")
    separate_arguments(names UNIX_COMMAND "${names}")
    set(${out} "${names}" PARENT_SCOPE)
endfunction()

# Sets `programs` to the consumer's programs for the caller's `components`, each with its source
# in <program>_source and the pkg-config modules it needs in <program>_modules: the library's
# consumer, the Qt screens (Widgets and Quick), and those of the caller's `samples` (written to `samples_dir`) whose
# components are among them.
macro(consumer_programs)
    set(programs consumer)
    set(consumer_source ${CONSUMERS}/consumer/main.cpp)
    set(consumer_modules vanto)
    if("qt" IN_LIST components)
        list(APPEND programs qt_consumer)
        set(qt_consumer_source ${CONSUMERS}/consumer/qt_main.cpp)
        set(qt_consumer_modules vanto-qt)
    endif()
    if("qt_web" IN_LIST components)
        list(APPEND programs qt_web_consumer)
        set(qt_web_consumer_source ${CONSUMERS}/consumer/qt_web_main.cpp)
        set(qt_web_consumer_modules vanto-qt-web)
    endif()
    if("quick" IN_LIST components)
        list(APPEND programs quick_consumer)
        set(quick_consumer_source ${CONSUMERS}/consumer/quick_main.cpp)
        set(quick_consumer_modules vanto-quick Qt6Gui Qt6Qml)
    endif()
    foreach(sample IN LISTS samples)
        set(needs ${VANTO_GUIDE_SAMPLE_${sample}_COMPONENTS})
        list(REMOVE_ITEM needs ${components})
        if(NOT needs)
            list(APPEND programs guide_${sample})
            set(guide_${sample}_source ${samples_dir}/${sample}.cpp)
            set(guide_${sample}_modules vanto)
            foreach(component IN LISTS VANTO_GUIDE_SAMPLE_${sample}_COMPONENTS)
                list(APPEND guide_${sample}_modules vanto-${component})
            endforeach()
        endif()
    endforeach()
endmacro()

# Configures the consumer project in `folder` against `prefix` with `components` (a list, passed
# whole) and further -D settings; sets `status` and `output`.
function(configure_consumer folder prefix components)
    execute_process(COMMAND ${CMAKE_COMMAND} -S ${CONSUMERS}/consumer -B ${folder} -G Ninja
                            -DCMAKE_PREFIX_PATH=${prefix} "-DCOMPONENTS=${components}" ${ARGN}
                    RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
    set(status ${result} PARENT_SCOPE)
    set(output "${out}" PARENT_SCOPE)
endfunction()

# Runs the programs a consumer build made (the production sample finds the signing credential
# where it looks for it); the card-entry screen's must load no Qt WebEngine library.
function(run_programs folder lib_dir programs)
    vanto_guide_sample_credentials(${WORK_DIR}/credentials credentials)
    foreach(program IN LISTS programs)
        run(${CMAKE_COMMAND} -E env ${credentials} LD_LIBRARY_PATH=${lib_dir} ${folder}/${program})
    endforeach()
    if("qt_consumer" IN_LIST programs)
        run(${CMAKE_COMMAND} -DPROGRAM=${folder}/qt_consumer -DLIBRARY_PATH=${lib_dir}
            -P ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/check_card_only.cmake)
    endif()
endfunction()

# Both routes against the package installed under `prefix`; `name` labels the work folders.
function(check_consumers name prefix components)
    set(work ${WORK_DIR}/${name})
    file(REMOVE_RECURSE ${work})
    set(guide ${prefix}/share/doc/vanto/docs/guide.md)
    if(NOT EXISTS ${guide})
        message(FATAL_ERROR "the guide is not installed: no ${guide}")
    endif()
    pkg_config_dir(pc_dir ${prefix})
    get_filename_component(lib_dir ${pc_dir} DIRECTORY)
    known_components(known ${pc_dir})
    set(samples_dir ${work}/samples)
    vanto_guide_samples(${guide} ${samples_dir} samples COMPONENTS ${known})
    consumer_programs()

    configure_consumer(${work}/cmake ${prefix} "${components}" -DGUIDE=${guide})
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "the consumer's configuration failed:\n${output}")
    endif()
    run(${CMAKE_COMMAND} --build ${work}/cmake -j 2 --target ${programs})
    run_programs(${work}/cmake ${lib_dir} "${programs}")

    # The standard is the compiler call's to give: the pkg-config files do not force one.
    set(ninja "rule cxx\n  command = c++ -std=c++20 $in $$(pkg-config --cflags --libs $modules)")
    string(APPEND ninja " -o $out\n")
    foreach(program IN LISTS programs)
        list(JOIN ${program}_modules " " modules)
        string(APPEND ninja "build ${program}: cxx ${${program}_source}\n  modules = ${modules}\n")
    endforeach()
    file(WRITE ${work}/pkg-config/build.ninja "${ninja}")
    run(${CMAKE_COMMAND} -E env PKG_CONFIG_PATH=${pc_dir} ninja -C ${work}/pkg-config -j 2)
    run_programs(${work}/pkg-config ${lib_dir} "${programs}")

    list(JOIN programs ", " names)
    message(STATUS "${name}: built with CMake and with pkg-config, and ran: ${names}")
endfunction()

# find_package with COMPONENTS `component` must fail, and its message must say `expected`.
function(check_refused name prefix component expected)
    set(work ${WORK_DIR}/${name})
    file(REMOVE_RECURSE ${work})
    configure_consumer(${work} ${prefix} ${component} ${ARGN})
    string(REGEX REPLACE "[ \n]+" " " out "${output}")
    string(FIND "${out}" "${expected}" at)
    if(status EQUAL 0 OR at EQUAL -1)
        message(FATAL_ERROR "find_package with the component ${component} should have failed "
                            "saying \"${expected}\":\n${out}")
    endif()
    message(STATUS "${name}: refused, \"${expected}\"")
endfunction()

# The shared build's packages: each library's shared object in a runtime package of its own,
# which its -dev package (holding the link the linker uses) depends on.
function(check_shared_packages build components)
    set(debs ${WORK_DIR}/shared-debs)
    file(REMOVE_RECURSE ${debs})
    run(cpack --config ${build}/CPackConfig.cmake -B ${debs})
    file(STRINGS ${build}/CMakeCache.txt version REGEX "^CMAKE_PROJECT_VERSION:")
    string(REGEX REPLACE "^.*=([0-9]+)\\.([0-9]+)\\.([0-9]+)$" "\\1.\\2.\\3;\\1.\\2" version
           "${version}")
    list(GET version 0 full)
    list(GET version 1 soversion)
    foreach(library IN ITEMS core ${components})
        if(library STREQUAL "core")
            set(name vanto)
            set(object libvanto.so)
        else()
            string(REPLACE "_" "-" name vanto-${library})
            set(object libvanto_${library}.so)
        endif()
        set(runtime ${debs}/lib${name}${soversion}_${full}_amd64.deb)
        set(dev ${debs}/lib${name}-dev_${full}_amd64.deb)
        run(dpkg-deb -c ${runtime})
        if(NOT output MATCHES "/${object}\\.${full}\n" OR NOT output MATCHES
                                                           "/${object}\\.${soversion} -> ")
            message(FATAL_ERROR "lib${name}${soversion} lacks ${object}.${full}:\n${output}")
        endif()
        run(dpkg-deb -c ${dev})
        if(NOT output MATCHES "/${object} -> " OR output MATCHES "/${object}\\.${full}\n")
            message(FATAL_ERROR "lib${name}-dev should hold only the link ${object}:\n${output}")
        endif()
        run(dpkg-deb -f ${dev} Depends)
        string(FIND "${output}" "lib${name}${soversion} (= ${full})" at)
        if(at EQUAL -1)
            message(FATAL_ERROR "lib${name}-dev does not depend on lib${name}${soversion}: ${output}")
        endif()
    endforeach()
    message(STATUS "shared: runtime packages of ${components} and the core, with their -dev")
endfunction()

if(VANTO_BUILD_DIR)
    set(prefix ${WORK_DIR}/static-prefix)
    file(REMOVE_RECURSE ${prefix})
    run(${CMAKE_COMMAND} --install ${VANTO_BUILD_DIR} --prefix ${prefix})
    check_consumers(static ${prefix} "${COMPONENTS}")

    set(core_only ${WORK_DIR}/core-prefix)
    file(REMOVE_RECURSE ${core_only})
    run(${CMAKE_COMMAND} --install ${VANTO_BUILD_DIR} --prefix ${core_only} --component core)
    check_refused(not-installed ${core_only} testing "the component \"testing\" is not installed: \
it comes with the Debian package libvanto-testing-dev")
    check_refused(unknown ${prefix} nonesuch "there is no component \"nonesuch\" (the components \
are ")
    if("qt" IN_LIST COMPONENTS)
        check_refused(dependency-missing ${prefix} qt
                      "the component \"qt\" needs Qt6 6.4 COMPONENTS Core Gui (for the component \
\"qt_base\" it builds on), which was not found"
                      -DCMAKE_DISABLE_FIND_PACKAGE_Qt6=ON)
    endif()
endif()

if(SHARED_TOO)
    set(build ${WORK_DIR}/shared-build)
    run(${CMAKE_COMMAND} -S ${VANTO_SOURCE_DIR} -B ${build} -G Ninja
        -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE} -DBUILD_SHARED_LIBS=ON -DVANTO_BUILD_TESTS=OFF
        -DVANTO_BUILD_CLI=OFF -DVANTO_BUILD_BENCHMARKS=OFF -DVANTO_BUILD_SANDBOX=OFF
        -DVANTO_BUILD_DOCS=OFF)
    run(${CMAKE_COMMAND} --build ${build})
    set(prefix ${WORK_DIR}/shared-prefix)
    file(REMOVE_RECURSE ${prefix})
    run(${CMAKE_COMMAND} --install ${build} --prefix ${prefix})
    set(shared_components ${COMPONENTS})
    list(REMOVE_ITEM shared_components sandbox)
    check_consumers(shared ${prefix} "${shared_components}")
    check_shared_packages(${build} "${shared_components}")
    # The shared libraries keep the last release's interface unless the version says otherwise.
    run(${VANTO_SOURCE_DIR}/scripts/check-abi ${build})
    message(STATUS "${output}")
endif()

if(PREFIX AND MISSING)
    check_refused(missing-${MISSING} ${PREFIX} ${MISSING}
                  "the component \"${MISSING}\" is not installed")
elseif(PREFIX)
    check_consumers(system ${PREFIX} "${COMPONENTS}")
endif()
