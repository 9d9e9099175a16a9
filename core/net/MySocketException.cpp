#include "net/MySocketException.h"

#include "base/Format.h"

namespace orvex {

MySocketException::MySocketException(std::string message, int errorNumber)
    : m_message(std::move(message)), m_errorNumber(errorNumber)
{
    m_errorText = errorNumber != 0 ? strprintf("错误：%s\n错误号：%d", m_message.c_str(), errorNumber)
                                   : strprintf("错误：%s", m_message.c_str());
}

} // namespace orvex
