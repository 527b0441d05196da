#pragma once
// Exceptions of the client layer, the status vector and the one path from a
// failed client call (or a client-side check) to an exception.

#include "ibclient/GdsTypes.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <exception>
#include <initializer_list>
#include <vector>

// The general exception: every failure of this system is one.
class Exception : public std::exception {
public:
    explicit Exception(QString message);
    const QString& Message() const { return FMessage; }
    // Name of the failure's class, as reports show it.
    virtual const char* ClassName() const { return "Exception"; }
    const char* what() const noexcept override { return FWhat.constData(); }

private:
    QString FMessage;
    QByteArray FWhat;
};

// A text that is not an integer.
class EConvertError : public Exception {
public:
    using Exception::Exception;
    const char* ClassName() const override { return "EConvertError"; }
};

// An operating-system call failed; carries the platform's error code.
class EOSError : public Exception {
public:
    EOSError(int errorCode, QString message);
    int ErrorCode() const { return FErrorCode; }
    const char* ClassName() const override { return "EOSError"; }

private:
    int FErrorCode;
};

class EDatabaseError : public Exception {
public:
    using Exception::Exception;
    const char* ClassName() const override { return "EDatabaseError"; }
};

// What a failed call's status vector said, taken when the failure is raised:
// the thread's vector belongs to the next call as soon as one is made, so a
// decision about this failure must not read it afterwards.
struct TStatusCodes {
    // The error codes and numbers of the vector, in order.
    std::vector<gds::Status> codes;
    // Its "open" failure said that the server has no file at the path.
    bool noSuchFile = false;
};

class EIBError : public EDatabaseError {
public:
    EIBError(int sqlCode, QString message);
    EIBError(int sqlCode, int ibErrorCode, QString message, TStatusCodes status = {});
    int SQLCode() const { return FSQLCode; }
    int IBErrorCode() const { return FIBErrorCode; }
    const char* ClassName() const override { return "EIBError"; }
    // Whether the failure's status held one of the codes.
    bool HasCode(std::initializer_list<gds::Status> codes) const;
    // Whether it said that the server has no file at the path it was given.
    bool SaysNoSuchFile() const { return FStatus.noSuchFile; }
    const std::vector<gds::Status>& StatusCodes() const { return FStatus.codes; }

private:
    int FSQLCode = 0;
    int FIBErrorCode = 0;
    TStatusCodes FStatus;
};

// The same questions of any failure: false for one that is not a server's.
bool FailureHasCode(const std::exception& failure, std::initializer_list<gds::Status> codes);
bool FailureSaysNoSuchFile(const std::exception& failure);

// A failed client call, built from the status vector.
class EIBInterBaseError : public EIBError {
public:
    using EIBError::EIBError;
    const char* ClassName() const override { return "EIBInterBaseError"; }
};

// The same for SQL code -551; a sibling of EIBInterBaseError, not a child.
class EIBInterBaseRoleError : public EIBError {
public:
    using EIBError::EIBError;
    const char* ClassName() const override { return "EIBInterBaseRoleError"; }
};

// An error detected by this layer; SQLCode holds the client error code.
class EIBClientError : public EIBError {
public:
    using EIBError::EIBError;
    const char* ClassName() const override { return "EIBClientError"; }
};

class EIBPlanError : public EIBError {
public:
    using EIBError::EIBError;
    const char* ClassName() const override { return "EIBPlanError"; }
};

// The client error codes of this system.
enum TIBClientError {
    ibxeGDSLibraryNotFound = 1,
    ibxeIB60feature = 3,
    ibxeOperationCancelled = 10,
    ibxeDPBConstantNotSupported = 11,
    ibxeDatabaseClosed = 15,
    ibxeDatabaseOpen = 16,
    ibxeDatabaseNameMissing = 17,
    ibxeSPBConstantNotSupported = 88,
    ibxeSPBConstantUnknown = 89,
    ibxeServiceActive = 90,
    ibxeServiceInActive = 91,
    ibxeServerNameMissing = 92,
    ibxeQueryParamsError = 93,
    ibxeStartParamsError = 94,
    ibxeOutputParsingError = 95,
    ibxeDPBConstantUnknown = 114,
    // Refusals of this implementation, for values that a block cannot carry.
    ibxeParamValueTooLong = 122,
    ibxeParamBlockTooLong = 123,
    // Misuse of a transaction (StartTransaction, Commit, Rollback).
    ibxeNotInTransaction = 124,
    ibxeInTransaction = 125,
};

// The table's message for a client error code, placeholders unfilled.
QString ClientErrorMessage(int code);

// The calling thread's status vector.
gds::Status* CurrentStatusVector();

// The message that the status vector's texts make: joined by CR LF, without
// one final full stop.
QString StatusVectorMessage();

[[noreturn]] void RaiseServerError();
// Raises EIBClientError for a table entry; "%s" and "%d" take the arguments in turn.
[[noreturn]] void RaiseClientError(int code, const QStringList& arguments = {});

// Whether the calling thread's status vector holds one of the codes.
bool StatusHasCode(std::initializer_list<gds::Status> codes);

// The codes of the calling thread's status vector, for the failure about to
// be raised.
TStatusCodes CaptureStatusCodes();

// Whether the status vector of the failed call that just raised says that the
// server has no file at the path it was given (its "open" failure, with the
// operating system's reason: a number from an engine on this machine, a text
// from a server across the network).
bool StatusSaysNoSuchFile();

// The rule every object applies to the status of a finished client call.
gds::Status CheckStatus(gds::Status errCode, bool raiseError);

// Text to integer: leading blanks and a sign allowed, "$" or "0x" for
// hexadecimal; anything else raises EConvertError.
int StrToInt(const QString& text);

// 8-bit text across the client library: the system's ANSI code page on
// Windows, one byte per character; UTF-8 elsewhere, whatever the locale.
QByteArray ToClientText(const QString& text);
QString FromClientText(const char* text);
// Makes the process's character type the one that text is in, before the
// client library is loaded (Unix: UTF-8 when the environment gives none).
void PrepareClientTextLocale();
