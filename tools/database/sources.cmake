# The generator's sources, shared by the build's own targets and the host
# build of the cross presets (host/CMakeLists.txt). The program compiles the
# few files of Korvane it uses itself instead of linking their libraries:
# the file store carries its output, so it cannot depend on them.
set(KORVANE_DBGEN_SOURCES GifPicture.cpp MemoryCabinet.cpp DatabaseTables.cpp SamplePackages.cpp DatabaseGenerator.cpp)
set(KORVANE_DBGEN_BORROWED
  update/DatabaseText.cpp update/DatabaseImage.cpp packaging/CabCheck.cpp
  platform/CabFormat.cpp platform/FileSystem.cpp platform/Text.cpp platform/Sha256.cpp
  platform/cabinet/Fci.cpp platform/cabinet/FciIo.cpp platform/cabinet/BlockEncoder.cpp platform/cabinet/MsZip.cpp)

# korvane_dbgen_program(ROOT): the korvane-dbgen target from the tree at ROOT.
function(korvane_dbgen_program root)
  set(sources ${KORVANE_DBGEN_SOURCES} main.cpp)
  list(TRANSFORM sources PREPEND ${root}/tools/database/)
  set(borrowed ${KORVANE_DBGEN_BORROWED})
  list(TRANSFORM borrowed PREPEND ${root}/)
  find_package(ZLIB REQUIRED)
  find_package(Threads REQUIRED)
  add_executable(korvane-dbgen ${sources} ${borrowed})
  target_include_directories(korvane-dbgen PRIVATE ${root})
  target_link_libraries(korvane-dbgen PRIVATE ZLIB::ZLIB Threads::Threads)
endfunction()
