#pragma once
// Request builders and reply tests of the detector's register operations. Builders are pure:
// they return the complete frame, check bytes included, and the line worker sends it.
// Reply tests look only at the bytes collected for the request, never beyond them.
#include <QByteArray>
#include <QString>

namespace fh {

namespace fn {
inline constexpr quint8 ReadHolding = 3;
inline constexpr quint8 ReadInput = 4;
inline constexpr quint8 WriteSingle = 6;
inline constexpr quint8 WriteMultiple = 16;
inline constexpr quint8 Command = 200;
} // namespace fn

// Codes carried in byte 4 of a function-200 command frame.
namespace cmd {
inline constexpr quint8 Bit = 17;
inline constexpr quint8 Version = 20;
inline constexpr quint8 Status = 32;
} // namespace cmd

inline constexpr quint16 AddressRegister = 0;
inline constexpr quint16 SetupRegister = 1;
inline constexpr quint16 FirstInputRegister = 0;

inline constexpr int SetupRegistersShort = 1;
inline constexpr int SetupRegistersLong = 4;
inline constexpr int InputRegistersShort = 15;
inline constexpr int InputRegistersLong = 22;

inline constexpr int StatusReplyMinLength = 12;
inline constexpr int WriteReplyLength = 8;
// The version text starts at this byte of the reply and stops before the check bytes.
inline constexpr int VersionTextStart = 9;

// Function-200 command frame, 12 bytes.
QByteArray SendCommand(quint8 address, quint8 code);
// Function 3 from register 1, one or four registers (the model table in detector/ says which).
QByteArray ReadSetup(quint8 address, int registers);
// Function 3, register 0, count 1: a presence check.
QByteArray ReadAddr(quint8 address);
// Function 4 from register 0, 15 or 22 registers.
QByteArray ReadInputs(quint8 address, int registers);
// Function 6 to register 0.
QByteArray WriteAddr(quint8 currentAddress, quint8 newAddress);

// Frame lengths the function tells, so the end of a frame is known without waiting out the
// collection window. 0 means "not known (yet)": wait for silence instead.
inline constexpr int StatusReplyLength = 14;
// One character at 9600 baud 8N1 (10 bit times, rounded up), and the silence of 3.5 of them
// that ends a frame.
inline constexpr qint64 CharUs = 1042;
inline constexpr qint64 FrameGapUs = 3646;
inline constexpr int ExceptionReplyLength = 5;
// The complete request frame that starts with these bytes (3, 4, 6: 8 bytes; 16: by its byte
// count; 200: 12).
int ExpectedRequestLength(const QByteArray& begin);
// The complete reply to request that starts with these bytes: functions 3 and 4 by their byte
// count, 6 and 16 eight bytes, an exception five, the function-200 status reply 14.
int ExpectedReplyLength(const QByteArray& request, const QByteArray& begin);
// The length of a proper answer to request, before any of it is in; 0 when unknown.
int ProperReplyLength(const QByteArray& request);

bool StatusReplyComplete(const QByteArray& reply);
bool AddrReplyOK(const QByteArray& reply);
// The detector echoes the BIT code in byte 4 when it ran the test.
bool BitPerformed(const QByteArray& reply);
// Characters of bytes 9 .. count - 3; empty when the reply holds none.
QString VersionText(const QByteArray& reply);

} // namespace fh
