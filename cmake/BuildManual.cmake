# Compiles one language's help pages into its .chm and places a copy in each
# program folder. Run as a script:
#   cmake -DCHMCMD=<chmcmd> -DSOURCE=<pages folder> -DSTYLE=<style.css>
#         -DCODEPAGE=<iconv name> -DWORK=<folder> -DNAME=<ManuelEN.chm>
#         -DDESTINATIONS=<folder|folder|...> -P BuildManual.cmake
# The pages are UTF-8 and say so; the project, contents and index files are
# read by the help viewer in the language's ANSI code page, so they are
# converted to it here and kept in UTF-8 in the tree.
cmake_minimum_required(VERSION 3.25)

file(REMOVE_RECURSE "${WORK}")
file(COPY "${SOURCE}/" DESTINATION "${WORK}")
file(COPY "${STYLE}" DESTINATION "${WORK}")
foreach(project_file manual.hhp contents.hhc index.hhk)
  execute_process(COMMAND iconv -f UTF-8 -t "${CODEPAGE}" "${SOURCE}/${project_file}"
                  OUTPUT_FILE "${WORK}/${project_file}" RESULT_VARIABLE failed ERROR_VARIABLE why)
  if(failed)
    message(FATAL_ERROR "${SOURCE}/${project_file}: cannot convert to ${CODEPAGE}: ${why}")
  endif()
endforeach()

execute_process(COMMAND "${CHMCMD}" manual.hhp WORKING_DIRECTORY "${WORK}"
                RESULT_VARIABLE failed OUTPUT_VARIABLE report ERROR_VARIABLE report)
# A page that links to a missing file would be a dead link in the viewer.
if(failed OR NOT EXISTS "${WORK}/${NAME}" OR report MATCHES "[Ww]arning|[Ee]rror")
  message(FATAL_ERROR "chmcmd could not compile ${SOURCE}/manual.hhp into ${NAME}:\n${report}")
endif()

string(REPLACE "|" ";" destinations "${DESTINATIONS}")
foreach(folder IN LISTS destinations)
  file(COPY_FILE "${WORK}/${NAME}" "${folder}/${NAME}")
endforeach()
