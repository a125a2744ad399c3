// The base of every exception of the system. Each module derives one class;
// the message is finished text, ready to show.
#pragma once

#include <exception>
#include <string>

class Exception : public std::exception {
public:
    explicit Exception(std::string message) : m_message(std::move(message)) {}
    const std::string& Message() const noexcept { return m_message; }
    const char* what() const noexcept override { return m_message.c_str(); }

private:
    std::string m_message;
};

// printf-style formatting into a std::string; the system's messages are
// written with "%s" and "%d" placeholders.
std::string FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));
