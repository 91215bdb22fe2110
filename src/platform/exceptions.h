#pragma once
// The exceptions a document's Serialize throws to refuse a file. Which one was
// thrown decides what the user sees afterwards (see ReportSerializeFailure).

#include <exception>

class CException : public std::exception {};

// Thrown after the document has shown its own message: reported no further.
class CUserException : public CException {
public:
    const char* what() const noexcept override { return "user exception"; }
};

class CArchiveException : public CException {
public:
    enum cause { none, genericException, readOnly, endOfFile, writeOnly, badIndex, badClass, badSchema };
    explicit CArchiveException(cause c = none) : m_cause(c) {}
    cause m_cause;
    const char* what() const noexcept override { return "archive exception"; }
};

class CMemoryException : public CException {
public:
    const char* what() const noexcept override { return "out of memory"; }
};

// Thrown by the file layer when the disk refuses a read or a write.
class CFileException : public CException {
public:
    const char* what() const noexcept override { return "file exception"; }
};

namespace kv {
// Shows what the framework says about a load or save that threw; silent for a
// CUserException, whose thrower has spoken already.
void ReportSerializeFailure(std::exception_ptr failure, bool loading);
}  // namespace kv
