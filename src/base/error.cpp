#include "base/error.h"

#include <cstring>

namespace error
{

std::string Error::reason() const
{
    return std::strerror(code);
}

} // namespace error
