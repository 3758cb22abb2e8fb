# The waveform bank and pan tables are the same bytes on every run, so they are computed at build
# time by a small program (waves/compute/) and compiled in. The program runs on the build machine,
# so a cross-compiling build makes it with the build machine's compiler: c++, g++ or clang++, or
# AHX_HOST_CXX. The web module, which must stay far smaller than the tables, computes them at start-up
# instead (AHX_WAVE_TABLES_AT_START_UP).
set(AHX_WAVE_COMPUTE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/compute/compute_wave_tables.cpp
  ${CMAKE_CURRENT_LIST_DIR}/compute/pan_tables.cpp
  ${CMAKE_CURRENT_LIST_DIR}/compute/wave_filter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/compute/wave_generators.cpp)
set(AHX_WAVE_TABLES_AT_START_UP ${AHX_WAVE_COMPUTE_SOURCES} ${CMAKE_CURRENT_LIST_DIR}/compute/build_wave_tables.cpp)

# Sets out_var to the generated source, which defines waveBank, panTables and BuildWaveTables.
function(ahx_generate_wave_tables out_var)
  if(CMAKE_CROSSCOMPILING)
    find_program(AHX_HOST_CXX NAMES c++ g++ clang++ NO_CMAKE_FIND_ROOT_PATH REQUIRED)
    set(host_cxx ${AHX_HOST_CXX})
  else()
    set(host_cxx ${CMAKE_CXX_COMPILER})
  endif()
  set(compute_dir ${CMAKE_SOURCE_DIR}/waves/compute)
  set(writer ${CMAKE_BINARY_DIR}/generated/write_wave_tables${CMAKE_HOST_EXECUTABLE_SUFFIX})
  set(output ${CMAKE_BINARY_DIR}/generated/wave_tables_data.cpp)
  # The tables depend on exact IEEE rounding: no contraction into fused operations, no fast-math.
  add_custom_command(OUTPUT ${writer}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/generated
    COMMAND ${host_cxx} -std=c++20 -O1 -ffp-contract=off -fno-fast-math -I${CMAKE_SOURCE_DIR}
            ${AHX_WAVE_COMPUTE_SOURCES} ${compute_dir}/write_wave_tables.cpp -o ${writer}
    DEPENDS ${AHX_WAVE_COMPUTE_SOURCES} ${compute_dir}/write_wave_tables.cpp
            ${compute_dir}/compute_wave_tables.h ${CMAKE_SOURCE_DIR}/waves/wave_bank.h
    COMMENT "Building the wave table writer for the build machine"
    VERBATIM)
  add_custom_command(OUTPUT ${output}
    COMMAND ${writer} ${output}
    DEPENDS ${writer}
    COMMENT "Writing the wave tables"
    VERBATIM)
  set(${out_var} ${output} PARENT_SCOPE)
endfunction()
