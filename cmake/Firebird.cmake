# The Firebird client library (libfbclient) and its C interface header ibase.h.
find_path(FIREBIRD_INCLUDE_DIR ibase.h PATHS /usr/include /usr/include/firebird REQUIRED)
find_library(FIREBIRD_CLIENT_LIBRARY NAMES fbclient libfbclient.so.2 REQUIRED)
add_library(Firebird::fbclient UNKNOWN IMPORTED)
set_target_properties(Firebird::fbclient PROPERTIES
  IMPORTED_LOCATION "${FIREBIRD_CLIENT_LIBRARY}"
  INTERFACE_INCLUDE_DIRECTORIES "${FIREBIRD_INCLUDE_DIR}")
