# The manual: our own pages under docs/manual/<language>/, compiled by chmcmd
# into one help file per language, placed beside the console and window
# programs, and listed with their SHA-256 in a source of korvane_app
# (app/ManualFiles.h). Included from the top CMakeLists after the programs.
#
# Without chmcmd the build goes on without manuals and the list is empty, so
# the program never opens a fetched manual it cannot check.

# folder  file name  code page of its contents and index
set(korvane_manuals
  "en     ManuelEN.chm CP1252"
  "fr     ManuelFR.chm CP1252"
  "zh-cn  ManuelCN.chm CP936"
  "zh-tw  ManuelZH.chm CP950"
  "es     ManuelES.chm CP1252")

find_program(KORVANE_CHMCMD chmcmd)
set(manual_source ${PROJECT_SOURCE_DIR}/docs/manual)
set(manual_list ${CMAKE_BINARY_DIR}/app/ManualFiles.cpp)
get_target_property(console_folder korvane BINARY_DIR)
set(program_folders ${console_folder})
if(TARGET korvane_gui)
  get_target_property(window_folder korvane_gui BINARY_DIR)
  list(APPEND program_folders ${window_folder})
endif()
string(REPLACE ";" "|" destinations "${program_folders}")

set(built_manuals "")
if(KORVANE_CHMCMD)
  foreach(entry IN LISTS korvane_manuals)
    separate_arguments(entry UNIX_COMMAND "${entry}")
    list(GET entry 0 folder)
    list(GET entry 1 name)
    list(GET entry 2 codepage)
    file(GLOB pages CONFIGURE_DEPENDS ${manual_source}/${folder}/*)
    set(outputs "")
    foreach(program_folder IN LISTS program_folders)
      list(APPEND outputs ${program_folder}/${name})
    endforeach()
    add_custom_command(
      OUTPUT ${outputs}
      COMMAND ${CMAKE_COMMAND} -DCHMCMD=${KORVANE_CHMCMD} -DSOURCE=${manual_source}/${folder}
              -DSTYLE=${manual_source}/style.css -DCODEPAGE=${codepage}
              -DWORK=${CMAKE_BINARY_DIR}/manual/${folder} -DNAME=${name} "-DDESTINATIONS=${destinations}"
              -P ${PROJECT_SOURCE_DIR}/cmake/BuildManual.cmake
      DEPENDS ${pages} ${manual_source}/style.css ${PROJECT_SOURCE_DIR}/cmake/BuildManual.cmake
      COMMENT "Compiling the manual ${name}"
      VERBATIM)
    list(GET outputs 0 first)
    list(APPEND built_manuals ${first})
  endforeach()
else()
  message(WARNING "chmcmd (Debian package fp-utils) is missing: the build leaves the manuals out, "
                  "and Help > Manual opens none it fetches. scripts/setup installs it.")
endif()

string(REPLACE ";" "|" manual_files "${built_manuals}")
add_custom_command(
  OUTPUT ${manual_list}
  COMMAND ${CMAKE_COMMAND} -DOUTPUT=${manual_list} "-DFILES=${manual_files}"
          -P ${PROJECT_SOURCE_DIR}/cmake/ManualHashes.cmake
  DEPENDS ${built_manuals} ${PROJECT_SOURCE_DIR}/cmake/ManualHashes.cmake
  COMMENT "Listing the built manuals with their SHA-256"
  VERBATIM)
target_sources(korvane_app PRIVATE ${manual_list})
