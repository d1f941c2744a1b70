// Output files that can never be lost: every output is written to a hidden
// temporary file in the destination's folder (".NAME.partial-XXXXXX") and
// renamed over the destination only once it is complete and closed. Until
// then an existing destination is untouched; on failure, and when the
// process is interrupted (SIGINT, SIGTERM, SIGHUP; Ctrl-C or console close
// on Windows), the temporary file is removed.
//
// Contract between the option form, the positional form and the output
// module; the output module implements it.
#pragma once

#include <memory>
#include <string>

#include "common/byte_writer.h"

enum class ReplacePolicy { REPLACE, KEEP_EXISTING };

// An output being written, through a BufferedWriter (a writer thread for
// pipes and devices; seek waits for it). tell is where the next byte goes.
class OutputFile : public ByteWriter {
public:
    // Finishes the output: flushes, closes and renames the temporary file
    // over the destination. False with error set (one line) on any failure,
    // and then nothing is left behind.
    virtual bool commit(std::string* error) = 0;
    // Removes the temporary file; the destination stays as it was. Done by
    // the destructor when neither was called.
    virtual void abort() = 0;
    // The first write error, as one line ("No space left on device"), or empty.
    virtual std::string error() const = 0;
    // True when writing failed because the reader of standard output went
    // away (a closed pipe); the caller may then end quietly.
    virtual bool broken_pipe() const = 0;
    // True when commit failed because, with KEEP_EXISTING, something took
    // the destination's name while the output was written.
    virtual bool name_taken() const = 0;
};

// Opens destination for writing. "-" (or /dev/stdout) is standard output
// (refused when it is a terminal; a closed pipe is a failed write, never a
// signal). With KEEP_EXISTING an existing destination is an error ("...
// exists"), and *taken, when given, is set so the caller can say how to
// replace it. Null with error set on failure.
//
// A destination that is a link to a file replaces that file and keeps the
// link. One that exists and is not a regular file (a device such as
// /dev/null, a named pipe) is written as it is: there is nothing to keep,
// and renaming over it would replace the device. A character device or a
// named pipe needs no replacing, as nothing there is replaced.
std::unique_ptr<OutputFile> open_output(const std::string& destination, ReplacePolicy policy, std::string* error,
                                        bool* taken = nullptr);

// What open_output refuses before it creates anything: a folder as the
// destination, with KEEP_EXISTING a name that is taken (by anything but a
// character device or a named pipe), and standard output ("-" or a name of
// it) when it is a terminal. A path the system
// cannot examine passes, so that opening it reports the system's reason.
// False with error set, and *taken (when given) true for a taken name.
bool check_output_path(const std::string& destination, ReplacePolicy policy, std::string* error, bool* taken = nullptr);

// Installs the handlers that remove temporary files on interruption; the
// process then exits with interrupted_exit_code(signal) (the positional form
// passes a function returning 1). A line, when given, is written to
// standard error first ("tamselexport: interrupted"), so a log tells why the
// run ended. A write past the file-size limit fails (SIGXFSZ is ignored),
// so it is cleaned up like any failed write. Safe to call once at start-up.
void install_interrupt_cleanup(int (*exit_code_for_signal)(int signal), const char* interrupted_line = nullptr);
