// libFuzzer target: one song file and the two numbers of the command line,
// taken through the calls the tool makes, with a bounded render.
//
// Input: bytes 0..3 are the loop count and bytes 4..7 the tick period, both
// little-endian (a signed 32-bit integer and an IEEE single); they are turned
// into the text of the command line and parsed the way the tool parses it.
// The bytes after them are the song file.
//
// Besides what the sanitizers catch, the target checks facts that hold for
// every input: the loader accepts exactly the files that start with "TSM" and
// holds exactly the records the file has at their places, every melodic slot
// holds a note of the instrument's length or nothing, the measured length of
// the render is the length the render really has, and the block renderer
// gives the same bits as the plain per-frame loop.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/instruments.h"
#include "engine/reference_render.h"
#include "engine/render_clock.h"
#include "engine/render_length.h"
#include "engine/sequencer.h"
#include "engine/session.h"
#include "engine/tamsel_song.h"
#include "export/arguments.h"
#include "mixer/drum_kit.h"
#include "mixer/sound_objects.h"

// Audio rendered per input: 3 seconds, in the tool's blocks of 1024 frames;
// the first third of a second is rendered again by the per-frame reference.
static constexpr uint64_t BLOCK_FRAMES = 1024;
static constexpr uint64_t RENDER_BLOCKS = 141;
static constexpr uint64_t RENDER_FRAMES = RENDER_BLOCKS * BLOCK_FRAMES;
static constexpr uint64_t REFERENCE_BLOCKS = 16;
static constexpr uint64_t REFERENCE_FRAMES = REFERENCE_BLOCKS * BLOCK_FRAMES;

// A song may ask for 72 notes of up to 2^25 samples (2.25 GiB) and their
// synthesis takes seconds. Inputs whose notes would hold more than this many
// samples are skipped, so that the fuzzer keeps exploring; the largest
// instruments are covered by the malformed-file tests and the measurements.
static constexpr int64_t MAX_NOTE_BYTES = (int64_t)64 << 20;

static constexpr size_t ARGUMENT_BYTES = 8;

#define FUZZ_CHECK(condition)                                                                  \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                      \
        }                                                                                      \
    } while (0)

static float audio[2 * RENDER_FRAMES];
static float block[2 * BLOCK_FRAMES];
static int song_fd = -1;
static char song_path[64];

static uint32_t u32_at(const uint8_t* bytes, size_t size, size_t offset) {
    uint32_t value = 0;
    for (size_t i = 0; i < 4; i++) {
        if (offset + i < size) value |= (uint32_t)bytes[offset + i] << (8 * i);
    }
    return value;
}

// The song file lives in memory and is opened through its descriptor's path,
// so ReadTamsel sees an ordinary file. Falls back to a file in /dev/shm.
static void open_song_file() {
    song_fd = memfd_create("song.tsm", 0);
    if (song_fd >= 0) {
        std::snprintf(song_path, sizeof song_path, "/proc/self/fd/%d", song_fd);
    } else {
        std::snprintf(song_path, sizeof song_path, "/dev/shm/song_fuzzer_%ld.tsm", (long)getpid());
    }
}

static uint8_t store_song_file(const uint8_t* bytes, size_t size) {
    if (song_fd < 0) {
        std::FILE* file = std::fopen(song_path, "wb");
        if (!file) return 0;
        size_t written = size ? std::fwrite(bytes, 1, size, file) : 0;
        return (uint8_t)(std::fclose(file) == 0 && written == size);
    }
    if (ftruncate(song_fd, 0) != 0) return 0;
    size_t done = 0;
    while (done < size) {
        ssize_t n = pwrite(song_fd, bytes + done, size - done, (off_t)done);
        if (n <= 0) return 0;
        done += (size_t)n;
    }
    return 1;
}

// Samples the three instruments would hold, counting every length the
// synthesis might accept.
static int64_t note_bytes(const uint8_t* song, size_t size) {
    int64_t total = 0;
    for (uint32_t i = 0; i < (uint32_t)MELODIC_TRACK_COUNT; i++) {
        int32_t length = (int32_t)u32_at(song, size, 24 + TSM_INSTRUMENT_SIZE * i + 4);
        if (length > 0 && length <= MAX_NOTE_LENGTH) total += 24 * (int64_t)length;
    }
    return total;
}

static void check_loaded_records(const uint8_t* song, size_t size) {
    int64_t stored = gTamsel.record_count;
    int32_t loaded = loaded_record_count(&gTamsel);
    FUZZ_CHECK(loaded >= 0 && loaded <= TRACK_CAPACITY);
    for (int32_t t = 0; t < TRACK_COUNT; t++) {
        for (int32_t r = 0; r < loaded; r++) {
            int64_t offset = (int64_t)TSM_HEADER_SIZE + 4 * ((int64_t)t * stored + r);
            uint32_t expected = offset >= 0 && (uint64_t)offset < size ? u32_at(song, size, (size_t)offset) : 0;
            FUZZ_CHECK(gTamsel.track_records[t][r] == expected);
        }
    }
}

static void check_sound_objects() {
    for (int32_t i = 0; i < SOUND_OBJECT_COUNT; i++) {
        const tamsel_sound* voice = sound_object_at(i);
        if (i >= DRUM_FIRST_SLOT && i < DRUM_FIRST_SLOT + DRUM_SLOT_COUNT) {
            FUZZ_CHECK(voice != nullptr);
        } else if (i >= FIRST_TRACK_SLOT && i < DRUM_FIRST_SLOT) {
            int32_t length = gTamsel.instrument[(i - FIRST_TRACK_SLOT) / SLOTS_PER_TRACK].length;
            uint8_t accepted = length >= 2 && length <= MAX_NOTE_LENGTH;
            FUZZ_CHECK(accepted ? voice && voice->size == (uint64_t)length : !voice);
        } else {
            FUZZ_CHECK(voice == nullptr);
        }
    }
}

// Parses the two numbers as the tool parses its command line. 0 when the
// tool would refuse them.
static uint8_t parse_numbers(const uint8_t* data, ExportArguments* args) {
    int32_t loops = (int32_t)u32_at(data, ARGUMENT_BYTES, 0);
    uint32_t timer_bits = u32_at(data, ARGUMENT_BYTES, 4);
    float timer;
    std::memcpy(&timer, &timer_bits, sizeof timer);
    char loops_text[16];
    char timer_text[64];
    std::snprintf(loops_text, sizeof loops_text, "%d", loops);
    std::snprintf(timer_text, sizeof timer_text, "%.9g", (double)timer);
    char program[] = "tamselexport";
    char* argv[] = {program, song_path, loops_text, timer_text, nullptr};
    FUZZ_CHECK(parse_arguments(4, argv, args) == 1);
    FUZZ_CHECK(args->loops >= 0);
    return timer_is_usable(args->timer_ms);
}

// The tool's start: load, build the instruments, force the first step.
static uint8_t start_song_file(const ExportArguments* args, const uint8_t* song, size_t size) {
    uint8_t tagged = size >= 3 && std::memcmp(song, "TSM", 3) == 0;
    SongOpenResult opened = open_song(song_path);
    FUZZ_CHECK(opened == (tagged ? SONG_OPENED : SONG_FAIL_LOAD));
    if (opened != SONG_OPENED) return 0;
    check_loaded_records(song, size);
    check_sound_objects();
    start_song(args->loops, args->timer_ms);
    return 1;
}

// Renders at most RENDER_FRAMES into audio and checks that the render ends
// exactly where the measurement said it would. Returns the frames rendered.
static uint64_t render_prefix() {
    uint64_t measured = 0;
    uint8_t ends = measure_render_length(RENDER_FRAMES, &measured);
    FUZZ_CHECK(!ends || measured <= RENDER_FRAMES);
    uint64_t total = 0;
    for (uint64_t b = 0; b < RENDER_BLOCKS; b++) {
        uint64_t got = generate_samples(audio + 2 * total, BLOCK_FRAMES);
        FUZZ_CHECK(got <= BLOCK_FRAMES);
        total += got;
        if (got < BLOCK_FRAMES) break;
    }
    FUZZ_CHECK(ends ? total == measured : total == RENDER_FRAMES);
    if (total < RENDER_FRAMES) FUZZ_CHECK(generate_samples(block, BLOCK_FRAMES) == 0);
    return total;
}

// Renders the start of the song again through the plain per-frame loop and
// checks that the audio is the same to the bit.
static void compare_with_reference(const ExportArguments* args, uint64_t rendered) {
    reset_engine_session();
    FUZZ_CHECK(open_song(song_path) == SONG_OPENED);
    start_song(args->loops, args->timer_ms);
    uint64_t total = 0;
    for (uint64_t b = 0; b < REFERENCE_BLOCKS; b++) {
        uint64_t got = generate_samples_reference(block, BLOCK_FRAMES);
        FUZZ_CHECK(total + got <= rendered);
        FUZZ_CHECK(std::memcmp(block, audio + 2 * total, (size_t)got * 2 * sizeof(float)) == 0);
        total += got;
        if (got < BLOCK_FRAMES) break;
    }
    FUZZ_CHECK(total == (rendered < REFERENCE_FRAMES ? rendered : REFERENCE_FRAMES));
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < ARGUMENT_BYTES) return 0;
    if (!song_path[0]) open_song_file();
    const uint8_t* song = data + ARGUMENT_BYTES;
    size_t song_size = size - ARGUMENT_BYTES;
    if (note_bytes(song, song_size) > MAX_NOTE_BYTES) return -1;

    ExportArguments args;
    if (!parse_numbers(data, &args)) return 0;
    FUZZ_CHECK(store_song_file(song, song_size));

    reset_engine_session();
    if (start_song_file(&args, song, song_size)) compare_with_reference(&args, render_prefix());
    reset_engine_session();
    return 0;
}
