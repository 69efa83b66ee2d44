# Fills the program's data folder ZIEL with a link to each data file of the source folder
# QUELLE, so an edited data file needs no build; files the build generates (GENERIERT, a
# ;-list of names) are written into ZIEL itself and never linked, so no build writes into the
# source tree. Runs at every build of the program: links new files, drops links whose file
# has gone (cmake -P).
cmake_minimum_required(VERSION 3.25)
file(MAKE_DIRECTORY ${ZIEL})
file(GLOB quellen LIST_DIRECTORIES false RELATIVE ${QUELLE} ${QUELLE}/*)
foreach(name ${quellen})
  if(name MATCHES "^\\." OR name IN_LIST GENERIERT)
    continue()
  endif()
  if(NOT EXISTS ${ZIEL}/${name} AND NOT IS_SYMLINK ${ZIEL}/${name})
    file(CREATE_LINK ${QUELLE}/${name} ${ZIEL}/${name} SYMBOLIC)
  endif()
endforeach()
file(GLOB links LIST_DIRECTORIES true ${ZIEL}/*)
foreach(link ${links})
  if(IS_SYMLINK ${link} AND NOT EXISTS ${link})
    file(REMOVE ${link})
  endif()
endforeach()
