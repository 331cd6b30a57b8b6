// The ripper tests' fixture (tables built in code, rippers destroyed before
// their tables), compiled into this program as well.
#include "tests/ripper/ripper_test_util.cc"
