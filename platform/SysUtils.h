// Exceptions and string helpers of the component layer.
#pragma once

#include <exception>
#include <initializer_list>

#include "AnsiString.h"

class Exception : public std::exception
{
public:
    explicit Exception(const AnsiString& msg) : Message(msg) {}
    const char* what() const noexcept override { return Message.c_str(); }
    AnsiString Message;
};

#define VN_DECLARE_EXCEPTION(Name, Base)                                                                     \
    class Name : public Base                                                                                 \
    {                                                                                                        \
    public:                                                                                                  \
        using Base::Base;                                                                                    \
    };

VN_DECLARE_EXCEPTION(EConvertError, Exception)
VN_DECLARE_EXCEPTION(ERangeError, Exception)
VN_DECLARE_EXCEPTION(EInvalidCast, Exception)
VN_DECLARE_EXCEPTION(EOutOfMemory, Exception)
VN_DECLARE_EXCEPTION(EListError, Exception)
VN_DECLARE_EXCEPTION(EStringListError, Exception)
VN_DECLARE_EXCEPTION(EStreamError, Exception)
VN_DECLARE_EXCEPTION(EFileStreamError, EStreamError)
VN_DECLARE_EXCEPTION(EFOpenError, EFileStreamError)
VN_DECLARE_EXCEPTION(EFCreateError, EFileStreamError)
VN_DECLARE_EXCEPTION(EReadError, EStreamError)
VN_DECLARE_EXCEPTION(EWriteError, EStreamError)
VN_DECLARE_EXCEPTION(EOSError, Exception)
VN_DECLARE_EXCEPTION(EInvalidOperation, Exception)

// Silent exception: unwinds without a message box.
class EAbort : public Exception
{
public:
    EAbort() : Exception("Operation aborted") {}
    using Exception::Exception;
};
