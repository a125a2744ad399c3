// The one exception class of the table-writing tools. Messages are finished
// text naming the file, line or field at fault, ready for stderr.
#pragma once

#include "Exception.h"

class EXbaseWrite : public Exception {
public:
    using Exception::Exception;
};
