#include "tests/jet/test_files.h"

namespace jettest {

#ifndef _WIN32
// The engine reads no configuration, but the readers the tests run get a home of their own.
const fixture::TemporaryHome kHome;
#endif

}  // namespace jettest
