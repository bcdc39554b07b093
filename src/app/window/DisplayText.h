#pragma once
#include <QString>
#include <string>

namespace ostrell::app {

// Text from the wire and the host travels as bytes: UTF-8 when it is valid UTF-8, otherwise the
// single-byte character set (Latin-1). CR LF line ends show as plain line breaks.
QString displayText(const std::string& bytes);

}  // namespace ostrell::app
