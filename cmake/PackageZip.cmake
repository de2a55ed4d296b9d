# Stages, signs when a certificate is supplied, and zips the release artefact; run by the
# package_zip target (cmake/Package.cmake).
# -DNAME=<zip and folder name> -DOUT=<build folder> -DOBJCOPY=<llvm-objcopy> -DDLLTOOL=<llvm-dlltool>
# -DSIGNTOOL=<osslsigncode> -DPYTHON=<python3> -DZIPPER=<write-zip.py> -DVERSION=<version>
# -DCONTENTS=<file list>
# From the environment: SOURCE_DATE_EPOCH (the zip entries' time), OEM_SIGN_PFX and
# OEM_SIGN_PASSWORD_FILE (sign with that PKCS#12 file and the password the second file holds),
# OEM_SIGN_TIMESTAMP_URL (an RFC 3161 time-stamp server for the signatures).
include(${CONTENTS})
set(stage ${OUT}/package/${NAME})
file(REMOVE_RECURSE ${OUT}/package ${OUT}/${NAME}.zip ${OUT}/SHA256SUMS)
file(MAKE_DIRECTORY ${stage}/bin ${stage}/debug)
foreach(binary ${OEM_PACKAGE_BINARIES})
  get_filename_component(name ${binary} NAME)
  get_filename_component(stem ${binary} NAME_WE)
  get_filename_component(folder ${binary} DIRECTORY)
  # The binary keeps its CodeView record, which names its PDB; the DWARF that the static runtime
  # brings along is dropped, since Windows debuggers read the PDB only.
  execute_process(COMMAND ${OBJCOPY} --strip-debug ${binary} ${stage}/bin/${name} COMMAND_ERROR_IS_FATAL ANY)
  file(COPY ${folder}/${stem}.pdb DESTINATION ${stage}/debug)
endforeach()
foreach(folder ${OEM_PACKAGE_FOLDERS})
  file(COPY ${OEM_PACKAGE_${folder}} DESTINATION ${stage}/${folder})
endforeach()
# The import library that Microsoft's linker writes (short import records), for MSVC hosts.
execute_process(COMMAND ${DLLTOOL} -m i386:x86-64 -d ${OEM_PACKAGE_DEF} -l ${stage}/lib/Oem.lib
  COMMAND_ERROR_IS_FATAL ANY)

set(pfx "$ENV{OEM_SIGN_PFX}")
set(password_file "$ENV{OEM_SIGN_PASSWORD_FILE}")
if(pfx AND password_file)
  set(timestamp)
  if(NOT "$ENV{OEM_SIGN_TIMESTAMP_URL}" STREQUAL "")
    set(timestamp -ts "$ENV{OEM_SIGN_TIMESTAMP_URL}")
  endif()
  foreach(binary ${OEM_PACKAGE_BINARIES})
    get_filename_component(name ${binary} NAME)
    # The password is read from its file by the signer itself, so it is in no command line.
    execute_process(COMMAND ${SIGNTOOL} sign -pkcs12 ${pfx} -readpass ${password_file} -h sha256
        -n "${name} ${VERSION}" ${timestamp} -in ${stage}/bin/${name} -out ${stage}/bin/${name}.signed
      OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
    file(RENAME ${stage}/bin/${name}.signed ${stage}/bin/${name})
  endforeach()
  message(STATUS "Signed Oem.dll, oemhost.exe and oemsim.dll with ${pfx}")
elseif(pfx OR password_file)
  message(FATAL_ERROR "Signing needs both OEM_SIGN_PFX and OEM_SIGN_PASSWORD_FILE")
else()
  message(STATUS "Not signed: set OEM_SIGN_PFX and OEM_SIGN_PASSWORD_FILE to sign the binaries")
endif()

# Checksums of the files as shipped, so after signing; sha256sum -c reads these lines.
file(GLOB_RECURSE files RELATIVE ${stage} ${stage}/*)
list(SORT files)
set(sums "")
foreach(file ${files})
  file(SHA256 ${stage}/${file} sum)
  string(APPEND sums "${sum}  ${file}\n")
endforeach()
file(WRITE ${stage}/SHA256SUMS "${sums}")
execute_process(COMMAND ${PYTHON} ${ZIPPER} ${OUT}/${NAME}.zip ${stage} COMMAND_ERROR_IS_FATAL ANY)
file(SHA256 ${OUT}/${NAME}.zip sum)
file(WRITE ${OUT}/SHA256SUMS "${sum}  ${NAME}.zip\n")
message(STATUS "Wrote ${OUT}/${NAME}.zip and ${OUT}/SHA256SUMS")
