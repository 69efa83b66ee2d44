# Links ZIEL to the data folder QUELLE when that exists; otherwise removes a link left
# dangling at ZIEL (cmake -P, run at every build of the program).
if(EXISTS ${QUELLE})
  if(NOT EXISTS ${ZIEL} AND NOT IS_SYMLINK ${ZIEL})
    file(CREATE_LINK ${QUELLE} ${ZIEL} SYMBOLIC)
  endif()
elseif(IS_SYMLINK ${ZIEL})
  file(REMOVE ${ZIEL})
endif()
