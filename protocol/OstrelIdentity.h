// Names both sides of the computational server's automation interface agree
// on: the bus identities, the COM identities a Windows binding registers
// under, and the names of the events the server raises.
#pragma once

namespace kvq::ostrel {

// D-Bus (session bus).
inline constexpr char kServiceName[] = "org.kvq.Ostrel";
inline constexpr char kObjectPath[] = "/org/kvq/Ostrel/ComputationalServer";
inline constexpr char kInterfaceName[] = "org.kvq.Ostrel.IComputationalServer";
// Our extensions beside it, on the same object.
inline constexpr char kExtensionsInterfaceName[] = "org.kvq.Ostrel.Extensions";
// A failing operation is an error reply whose name begins with this.
inline constexpr char kErrorPrefix[] = "org.kvq.Ostrel.Error.";

// COM (the Windows binding): server class, default interface, event
// interface and the DISPID of its one member.
inline constexpr char kClassId[] = "{BE88C56D-6146-4990-9AC8-4786943D6A18}";
inline constexpr char kInterfaceId[] = "{12DDC439-A57B-47B2-917B-34834938BA9B}";
inline constexpr char kEventInterfaceId[] = "{ED091846-8948-4360-A112-5B9839EC3D63}";
inline constexpr int kEventDispId = 1;

// Events a client answers.
inline constexpr char kGiveLineEvent[] = "Give_Line";
inline constexpr char kFcnEvent[] = "FCN";
inline constexpr char kPaintEvent[] = "PAINT";
// Events a client shows as messages: a console output line, a debug line,
// what the module printed outside the run-time library (a Fortran run-time
// error, for one), and the end of the run with its cause (kEnd* below).
inline constexpr char kOutputEvent[] = "Output";
inline constexpr char kDebugEvent[] = "Debug";
inline constexpr char kProcessOutputEvent[] = "Process_Output";
inline constexpr char kEndOfRunEvent[] = "End_Of_Run";
// Raised by the client component itself when the server leaves the bus
// during a run.
inline constexpr char kServerLostEvent[] = "Server_Lost";

// How a run ended: the value of kEndOfRunEvent begins with one of these.
inline constexpr char kEndFinished[] = "finished";
inline constexpr char kEndStopped[] = "stopped";
inline constexpr char kEndIoError[] = "I/O error";
inline constexpr char kEndEndOfInput[] = "end of input";
inline constexpr char kEndKilled[] = "killed by Finish";
inline constexpr char kEndCrashed[] = "crashed";
inline constexpr char kEndExited[] = "exited";
inline constexpr char kEndNotStarted[] = "not started";
// The server ended the run: its client took no events for a while.
inline constexpr char kEndNotReading[] = "ended: the client took no events";
inline constexpr char kEndReplaced[] = "replaced by LoadDll";

}  // namespace kvq::ostrel
