# Stages and zips the release artefact; run by the package_zip target (cmake/Package.cmake).
# -DNAME=<zip and folder name> -DOUT=<build folder> -DOBJCOPY=<objcopy> -DDLLTOOL=<llvm-dlltool>
# -DCONTENTS=<file list>
include(${CONTENTS})
set(stage ${OUT}/package/${NAME})
file(REMOVE_RECURSE ${OUT}/package ${OUT}/${NAME}.zip)
file(MAKE_DIRECTORY ${stage}/bin ${stage}/debug)
foreach(binary ${OEM_PACKAGE_BINARIES})
  get_filename_component(name ${binary} NAME)
  # The debug information goes to its own file; the shipped binary keeps only a link to it
  # (its name and checksum), so a crash address can still be resolved.
  execute_process(COMMAND ${OBJCOPY} --only-keep-debug ${binary} ${stage}/debug/${name}.debug
    COMMAND_ERROR_IS_FATAL ANY)
  execute_process(COMMAND ${OBJCOPY} --strip-all --add-gnu-debuglink=${stage}/debug/${name}.debug ${binary}
    ${stage}/bin/${name} COMMAND_ERROR_IS_FATAL ANY)
endforeach()
foreach(folder ${OEM_PACKAGE_FOLDERS})
  file(COPY ${OEM_PACKAGE_${folder}} DESTINATION ${stage}/${folder})
endforeach()
# The import library that Microsoft's linker writes (short import records), for MSVC hosts.
execute_process(COMMAND ${DLLTOOL} -m i386:x86-64 -d ${OEM_PACKAGE_DEF} -l ${stage}/lib/Oem.lib
  COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${OUT}/${NAME}.zip --format=zip ${NAME}
  WORKING_DIRECTORY ${OUT}/package COMMAND_ERROR_IS_FATAL ANY)
message(STATUS "Wrote ${OUT}/${NAME}.zip")
