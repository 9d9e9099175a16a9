#pragma once
// A minimal writer of one-line JSON objects for the tool's machine-readable output. Numbers are
// written as the shortest decimal text that reads back to the same value (single-precision
// values as floats); NaN and infinities, which JSON cannot carry, are written as null.

#include <charconv>
#include <cmath>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

class CJsonObject {
public:
    CJsonObject() : m_text("{") {}

    CJsonObject& str(std::string_view key, std::string_view value)
    {
        this->key(key);
        quoted(value);
        return *this;
    }
    CJsonObject& integer(std::string_view key, long long value)
    {
        this->key(key);
        m_text += std::to_string(value);
        return *this;
    }
    CJsonObject& boolean(std::string_view key, bool value)
    {
        this->key(key);
        m_text += value ? "true" : "false";
        return *this;
    }
    CJsonObject& real(std::string_view key, float value)
    {
        this->key(key);
        number(value);
        return *this;
    }
    CJsonObject& real(std::string_view key, double value)
    {
        this->key(key);
        number(value);
        return *this;
    }
    template <typename T>
    CJsonObject& integers(std::string_view key, std::span<const T> values)
    {
        this->key(key);
        m_text += '[';
        for (std::size_t i = 0; i < values.size(); ++i) {
            if (i)
                m_text += ',';
            m_text += std::to_string(static_cast<long long>(values[i]));
        }
        m_text += ']';
        return *this;
    }
    CJsonObject& reals(std::string_view key, std::span<const float> values)
    {
        this->key(key);
        m_text += '[';
        for (std::size_t i = 0; i < values.size(); ++i) {
            if (i)
                m_text += ',';
            number(values[i]);
        }
        m_text += ']';
        return *this;
    }
    // A value already written as JSON text (a nested array or object).
    CJsonObject& raw(std::string_view key, std::string_view json)
    {
        this->key(key);
        m_text += json;
        return *this;
    }
    std::string text() const { return m_text + "}"; }

    static std::string quote(std::string_view s)
    {
        CJsonObject o;
        o.m_text.clear();
        o.quoted(s);
        return o.m_text;
    }

private:
    void key(std::string_view k)
    {
        if (m_text.size() > 1)
            m_text += ',';
        quoted(k);
        m_text += ':';
    }
    template <typename F>
    void number(F value)
    {
        if (!std::isfinite(value)) {
            m_text += "null";
            return;
        }
        char buf[64];
        auto r = std::to_chars(buf, buf + sizeof buf, value);
        m_text.append(buf, r.ptr);
    }
    void quoted(std::string_view s)
    {
        static const char* const kHex = "0123456789abcdef";
        m_text += '"';
        for (unsigned char c : s) {
            switch (c) {
            case '"':
                m_text += "\\\"";
                break;
            case '\\':
                m_text += "\\\\";
                break;
            case '\n':
                m_text += "\\n";
                break;
            case '\r':
                m_text += "\\r";
                break;
            case '\t':
                m_text += "\\t";
                break;
            default:
                if (c < 0x20) {
                    m_text += "\\u00";
                    m_text += kHex[c >> 4];
                    m_text += kHex[c & 15];
                } else {
                    m_text += static_cast<char>(c);
                }
            }
        }
        m_text += '"';
    }

    std::string m_text;
};
