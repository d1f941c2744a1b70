// libFuzzer target: the command line's parsers on any arguments. Parses
// only: nothing is read, rendered or written.
//
// Input: the arguments after the program's name, each ended by a zero byte
// (the last one may lack it), at most MAX_ARGUMENTS of them.
//
// Besides what the sanitizers catch, every input checks what holds for any
// command line: the option form's parser gives the same answer twice; an
// accepted command line has an input, a loop count >= 0, a finite tick >= 0,
// 1..1024 jobs or 0, muting within the four tracks and no contradiction; a
// refused one has a one-line error; the positional form never fails with a
// file argument and never keeps a negative loop count; and each argument,
// read as a number the way the options read their values, gives the value
// an independent reading gives.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "frontend/strict_number.h"
#include "fuzz_support.h"
#include "tool/cli_options.h"
#include "tool/positional_arguments.h"

static constexpr size_t MAX_ARGUMENTS = 64;

static bool has_newline(const std::vector<std::string>& arguments) {
    for (const std::string& argument : arguments) {
        if (argument.find('\n') != std::string::npos) return true;
    }
    return false;
}

static void check_accepted(const CliOptions* options) {
    FUZZ_CHECK(!options->inputs.empty());
    FUZZ_CHECK(options->loops >= 0);
    FUZZ_CHECK(std::isfinite(options->tick_ms) && options->tick_ms >= 0.0);
    FUZZ_CHECK(options->jobs <= 1024);
    FUZZ_CHECK(options->muted_tracks <= 0xFu);
    FUZZ_CHECK(!(options->stems && options->muted_tracks != 0));
    FUZZ_CHECK(!(options->stems && options->output == "-"));
    FUZZ_CHECK(options->output.empty() || options->inputs.size() == 1);
    FUZZ_CHECK(options->output.empty() || options->output_dir.empty());
    FUZZ_CHECK(!options->json || options->info);
    FUZZ_CHECK(std::isfinite(options->audio.gain_db) && std::fabs(options->audio.gain_db) <= 96.0);
    FUZZ_CHECK(std::isfinite(options->audio.fade_seconds) && options->audio.fade_seconds >= 0.0);
    FUZZ_CHECK(options->audio.quality >= -1 && options->audio.quality <= 10);
}

static void check_option_form(int argc, char** argv, const std::vector<std::string>& arguments) {
    for (int i = 1; i < argc; i++) is_option_argument(argv[i]);
    CliOptions options;
    std::string error;
    ParseResult result = parse_cli_options(argc, argv, &options, &error);
    CliOptions again;
    std::string error_again;
    FUZZ_CHECK(parse_cli_options(argc, argv, &again, &error_again) == result);
    FUZZ_CHECK(error_again == error);
    if (result == ParseResult::RUN) check_accepted(&options);
    if (result == ParseResult::USAGE_ERROR) {
        FUZZ_CHECK(!error.empty());
        if (!has_newline(arguments)) FUZZ_CHECK(error.find('\n') == std::string::npos);
    }
}

// A whole number read digit by digit with no chance of overflow: at most 19
// significant digits fit below 10^19 < 2^64; more are out of every range.
static bool whole_number_oracle(const char* text, int64_t min, int64_t max, int64_t* value) {
    const char* p = text;
    if (*p == '+') p++;
    if (*p == '\0') return false;
    for (const char* q = p; *q; q++) {
        if (*q < '0' || *q > '9') return false;
    }
    while (*p == '0' && p[1] != '\0') p++;
    if (std::strlen(p) > 19) return false;
    uint64_t number = 0;
    for (; *p; p++) number = number * 10 + (uint64_t)(*p - '0');
    if (number > (uint64_t)INT64_MAX || (int64_t)number < min || (int64_t)number > max) return false;
    *value = (int64_t)number;
    return true;
}

static void check_numbers(const char* text) {
    static const int64_t RANGES[3][2] = {{0, INT32_MAX}, {1, 1024}, {0, 10}};
    for (const int64_t* range : RANGES) {
        int64_t parsed = -1;
        int64_t expected = -1;
        bool accepted = parse_whole_number(text, range[0], range[1], &parsed);
        FUZZ_CHECK(accepted == whole_number_oracle(text, range[0], range[1], &expected));
        if (accepted) FUZZ_CHECK(parsed == expected);
    }
    double decimal = 0.0;
    if (!parse_finite_decimal(text, &decimal)) return;
    FUZZ_CHECK(std::isfinite(decimal));
    FUZZ_CHECK(std::strspn(text, "0123456789+-.eE") == std::strlen(text));
    char* end = nullptr;
    double expected = std::strtod(text, &end);
    FUZZ_CHECK(*end == '\0' && std::memcmp(&expected, &decimal, sizeof decimal) == 0);
}

static void check_positional_form(int argc, char** argv) {
    ExportArguments args;
    bool parsed = parse_arguments(argc, argv, &args);
    FUZZ_CHECK(parsed == (argc >= 2));
    FUZZ_CHECK(args.loops >= 0);
    FUZZ_CHECK(!(args.timer_ms < 0.0));
    if (parsed) FUZZ_CHECK(args.input_path == argv[1]);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> arguments;
    size_t start = 0;
    for (size_t i = 0; i <= size && arguments.size() < MAX_ARGUMENTS; i++) {
        if (i == size || data[i] == 0) {
            if (i == size && start == size && size > 0) break;
            arguments.push_back(std::string((const char*)data + start, i - start));
            start = i + 1;
        }
    }
    std::vector<char*> argv;
    static char program[] = "tamselexport";
    argv.push_back(program);
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    int argc = (int)argv.size() - 1;

    check_option_form(argc, argv.data(), arguments);
    check_positional_form(argc, argv.data());
    for (const std::string& argument : arguments) check_numbers(argument.c_str());
    return 0;
}
