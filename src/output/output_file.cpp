#include "output/output_file.h"

#include <utility>

#include "common/path_rules.h"
#include "output/output_cleanup.h"
#include "output/output_system.h"
#include "output/output_writer.h"
#include "output/temporary_names.h"

// Tries before giving up on finding a free temporary name.
static constexpr int32_t NAME_ATTEMPTS = 100;

// A taken name is a fact the front end words: it knows how its user asks
// for a replacement.
static std::string exists_message(const std::string& destination) {
    return destination + " exists";
}

// A hidden temporary file beside the destination, renamed over it by commit.
class TemporaryOutput : public OutputFile {
public:
    TemporaryOutput(std::string destination, bool keep_existing)
        : destination_(std::move(destination)), keep_existing_(keep_existing) {}
    ~TemporaryOutput() override { abort(); }

    bool open(std::string* error);

    bool write(const void* bytes, size_t size) override { return writer_.write(bytes, size); }
    uint8_t* reserve(size_t wanted, size_t* lent) override { return writer_.reserve(wanted, lent); }
    bool commit_reserved(size_t size) override { return writer_.commit_reserved(size); }
    bool seekable() const override { return true; }
    bool seek(uint64_t offset) override { return writer_.seek(offset); }
    uint64_t tell() const override { return writer_.tell(); }
    bool commit(std::string* error) override;
    void abort() override;
    std::string error() const override { return writer_.error(); }
    bool broken_pipe() const override { return false; }
    bool name_taken() const override { return name_taken_; }

private:
    bool create_temporary(std::string* why);
    bool fail(const std::string& why, std::string* error);

    std::string destination_;
    bool keep_existing_;
    std::string temporary_;
    int32_t slot_ = -1;
    int fd_ = -1;
    bool finished_ = false;
    bool name_taken_ = false;
    BufferedWriter writer_;
};

// Claims a free name: the name is on the cleanup list before the file
// exists, so there is no moment when an interruption could leave it behind.
bool TemporaryOutput::create_temporary(std::string* why) {
    for (int32_t attempt = 0; attempt < NAME_ATTEMPTS; attempt++) {
        temporary_ = temporary_path_for(destination_);
        slot_ = remember_temporary_path(temporary_);
        if (slot_ < 0) {
            *why = "too many outputs open at once, or a path too long";
            return false;
        }
        bool taken = false;
        fd_ = create_new_file(temporary_, &taken, why);
        if (fd_ >= 0) return true;
        forget_temporary_path(slot_);
        slot_ = -1;
        if (!taken) return false;
    }
    *why = "no free temporary name";
    return false;
}

bool TemporaryOutput::open(std::string* error) {
    std::string why;
    if (!create_temporary(&why)) {
        std::string folder = path_folder(destination_);
        *error =
            "cannot create a file in " + (folder.empty() ? std::string("the current folder") : folder) + ": " + why;
        finished_ = true;
        return false;
    }
    if (!writer_.start(fd_, 0, WriteMode::IN_PLACE, &why)) return fail(why, error);
    return true;
}

bool TemporaryOutput::fail(const std::string& why, std::string* error) {
    if (error) *error = why;
    abort();
    return false;
}

bool TemporaryOutput::commit(std::string* error) {
    if (finished_) return fail("the output is already finished", error);
    bool flushed = writer_.flush();
    writer_.stop();
    if (!flushed) return fail(writer_.error(), error);
    std::string why;
    if (!keep_existing_) take_mode_and_owner(fd_, destination_);
    int fd = fd_;
    fd_ = -1;
    // Closing reports write errors the system held back (on network file
    // systems, for one). The file is not synced first: the promise is about
    // this process failing, not the machine, and waiting for the disk
    // would make every export as slow as the disk.
    if (!close_file(fd, &why)) return fail(why, error);
    bool exists = false;
    if (!rename_file(temporary_, destination_, keep_existing_, &exists, &why)) {
        name_taken_ = exists;
        return fail(
            exists ? exists_message(destination_) : "cannot rename the finished file to " + destination_ + ": " + why,
            error);
    }
    // Only now, so an interruption before the rename still removes the file.
    forget_temporary_path(slot_);
    slot_ = -1;
    finished_ = true;
    return true;
}

void TemporaryOutput::abort() {
    if (finished_) return;
    finished_ = true;
    writer_.stop();
    std::string ignored;
    if (fd_ >= 0) close_file(fd_, &ignored);
    fd_ = -1;
    remove_file(temporary_);
    forget_temporary_path(slot_);
    slot_ = -1;
}

// Standard output, or an existing device or pipe: written as it is. The
// output starts where the descriptor stands, which for standard output
// may be after other bytes of a file; offsets count from there. Where
// bytes cannot be written over (a pipe, a device, a file opened for
// appending) the output is not seekable and the encoders stream.
class DirectOutput : public OutputFile {
public:
    DirectOutput(int fd, bool owns_fd) : fd_(fd), owns_fd_(owns_fd) {}
    ~DirectOutput() override { abort(); }

    bool open(std::string* error) {
        uint64_t origin = 0;
        seekable_ = rewritable_from(fd_, &origin);
        // A file takes each write at once; a pipe's reader may not.
        return writer_.start(fd_, origin, seekable_ ? WriteMode::IN_PLACE : WriteMode::IN_BACKGROUND, error);
    }

    bool write(const void* bytes, size_t size) override { return writer_.write(bytes, size); }
    uint8_t* reserve(size_t wanted, size_t* lent) override { return writer_.reserve(wanted, lent); }
    bool commit_reserved(size_t size) override { return writer_.commit_reserved(size); }
    bool seekable() const override { return seekable_; }
    bool seek(uint64_t offset) override { return seekable_ && writer_.seek(offset); }
    uint64_t tell() const override { return writer_.tell(); }
    bool commit(std::string* error) override;
    void abort() override { finish(nullptr); }
    std::string error() const override { return writer_.error(); }
    bool broken_pipe() const override { return writer_.broken_pipe(); }
    bool name_taken() const override { return false; }

private:
    bool finish(std::string* why);

    int fd_;
    bool owns_fd_;
    bool seekable_ = false;
    bool finished_ = false;
    BufferedWriter writer_;
};

bool DirectOutput::finish(std::string* why) {
    if (finished_) return false;
    finished_ = true;
    // Whatever comes after the output in the same file (the next command's
    // bytes in a shell's group) goes after its end, not where it last went
    // back to.
    bool at_end = !seekable_ || writer_.tell() == writer_.end();
    bool flushed = why ? (at_end || writer_.seek(writer_.end())) && writer_.flush() : true;
    writer_.stop();
    if (!flushed) {
        *why = writer_.error();
        return false;
    }
    std::string close_why;
    bool closed = !owns_fd_ || close_file(fd_, &close_why);
    if (!closed && why) *why = close_why;
    return closed;
}

bool DirectOutput::commit(std::string* error) {
    std::string why;
    if (finished_) why = "the output is already finished";
    if (finish(&why)) return true;
    if (error) *error = why;
    return false;
}

static bool check_standard_output(std::string* error) {
    if (!standard_output_is_terminal()) return true;
    *error = "standard output is a terminal; redirect it to a file or a pipe";
    return false;
}

static std::unique_ptr<OutputFile> open_standard_output(std::string* error) {
    if (!check_standard_output(error)) return nullptr;
    auto output = std::make_unique<DirectOutput>(prepare_standard_output(), false);
    if (!output->open(error)) return nullptr;
    return output;
}

static std::unique_ptr<OutputFile> open_device(const std::string& destination, std::string* error) {
    std::string why;
    int fd = open_for_writing(destination, &why);
    if (fd < 0) {
        *error = "cannot write " + destination + ": " + why;
        return nullptr;
    }
    auto output = std::make_unique<DirectOutput>(fd, true);
    if (!output->open(error)) return nullptr;
    return output;
}

bool check_output_path(const std::string& destination, ReplacePolicy policy, std::string* error, bool* taken) {
    if (taken) *taken = false;
    if (is_standard_output_name(destination)) return check_standard_output(error);
    PathKind kind = path_kind(follow_link(destination));
    if (kind == PathKind::FOLDER) {
        *error = destination + " is a folder";
        return false;
    }
    // A device such as /dev/null or a named pipe is written, never replaced.
    if (policy == ReplacePolicy::REPLACE || kind == PathKind::STREAM) return true;
    // Something has the name (a file, a device, a dangling link): only then
    // does --force change anything. A path that cannot be examined (a folder
    // that cannot be entered, a name too long) has nothing to replace.
    bool named = kind == PathKind::REGULAR || name_exists(destination);
    if (!named) return true;
    *error = exists_message(destination);
    if (taken) *taken = true;
    return false;
}

std::unique_ptr<OutputFile> open_output(const std::string& destination, ReplacePolicy policy, std::string* error,
                                        bool* taken) {
    if (taken) *taken = false;
    if (destination.empty()) {
        *error = "no output file named";
        return nullptr;
    }
    if (is_standard_output_name(destination)) return open_standard_output(error);
    if (!check_output_path(destination, policy, error, taken)) return nullptr;
    bool keep_existing = policy == ReplacePolicy::KEEP_EXISTING;
    std::string target = follow_link(destination);
    PathKind kind = path_kind(target);
    // STREAM and OTHER are devices and pipes, or a path that could not be
    // examined: then opening it gives the system's reason.
    if (kind == PathKind::STREAM || kind == PathKind::OTHER) return open_device(target, error);
    auto output = std::make_unique<TemporaryOutput>(target, keep_existing);
    if (!output->open(error)) return nullptr;
    return output;
}
