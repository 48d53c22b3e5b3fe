#pragma once
// The exception hierarchy of the class library. Every failure the program
// raises derives from Exception; its Message is the text shown to the user
// (an unhandled one ends in a message box titled with the application title).
#include <exception>
#include <string>
#include <utility>

class Exception : public std::exception {
public:
    explicit Exception(std::string message) : FMessage(std::move(message)) {}
    ~Exception() override = default;

    const std::string& Message() const noexcept { return FMessage; }
    void SetMessage(std::string m) { FMessage = std::move(m); }
    const char* what() const noexcept override { return FMessage.c_str(); }
    // The class name as the class library reports it ("EConvertError", ...).
    virtual const char* ClassName() const noexcept { return "Exception"; }

private:
    std::string FMessage;
};

#define QM_DECLARE_EXCEPTION(Name, Base)                                                           \
    class Name : public Base {                                                                     \
    public:                                                                                        \
        using Base::Base;                                                                          \
        const char* ClassName() const noexcept override { return #Name; }                          \
    }

// System
QM_DECLARE_EXCEPTION(EAbort, Exception);
QM_DECLARE_EXCEPTION(EOutOfMemory, Exception);
QM_DECLARE_EXCEPTION(EInOutError, Exception);
QM_DECLARE_EXCEPTION(EConvertError, Exception);
QM_DECLARE_EXCEPTION(EIntError, Exception);
QM_DECLARE_EXCEPTION(EDivByZero, EIntError);
QM_DECLARE_EXCEPTION(ERangeError, EIntError);
QM_DECLARE_EXCEPTION(EIntOverflow, EIntError);
QM_DECLARE_EXCEPTION(EMathError, Exception);
QM_DECLARE_EXCEPTION(EInvalidCast, Exception);
QM_DECLARE_EXCEPTION(EInvalidPointer, Exception);
QM_DECLARE_EXCEPTION(EOSError, Exception);
QM_DECLARE_EXCEPTION(ENotSupportedException, Exception);
// Classes
QM_DECLARE_EXCEPTION(EStreamError, Exception);
QM_DECLARE_EXCEPTION(EFCreateError, EStreamError);
QM_DECLARE_EXCEPTION(EFOpenError, EStreamError);
QM_DECLARE_EXCEPTION(EFilerError, EStreamError);
QM_DECLARE_EXCEPTION(EReadError, EFilerError);
QM_DECLARE_EXCEPTION(EWriteError, EFilerError);
QM_DECLARE_EXCEPTION(EClassNotFound, EFilerError);
QM_DECLARE_EXCEPTION(EInvalidImage, EFilerError);
QM_DECLARE_EXCEPTION(EListError, Exception);
QM_DECLARE_EXCEPTION(EStringListError, Exception);
QM_DECLARE_EXCEPTION(EComponentError, Exception);
QM_DECLARE_EXCEPTION(EInvalidOperation, Exception);
QM_DECLARE_EXCEPTION(EOutOfResources, Exception);
QM_DECLARE_EXCEPTION(EThread, Exception);
// Graphics
QM_DECLARE_EXCEPTION(EInvalidGraphic, Exception);
QM_DECLARE_EXCEPTION(EInvalidGraphicOperation, Exception);
// Registry
QM_DECLARE_EXCEPTION(ERegistryException, Exception);

// Raises EAbort with an empty message: the "silent" exception that the
// application's handler does not show.
[[noreturn]] inline void Abort() {
    throw EAbort("Operation aborted");
}
