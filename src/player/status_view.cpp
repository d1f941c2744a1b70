#include "player/status_view.h"

#include <cmath>
#include <cstdio>

#include "tamsel/tamsel.h"

static const char* const TRACK_LABELS[4] = {"1", "2", "3", "d"};

std::string clock_text(uint64_t frames) {
    uint64_t seconds = frames / TAMSEL_SAMPLE_RATE;
    char text[32];
    if (seconds >= 3600) {
        std::snprintf(text, sizeof text, "%llu:%02u:%02u", (unsigned long long)(seconds / 3600),
                      (unsigned)(seconds / 60 % 60), (unsigned)(seconds % 60));
    } else {
        std::snprintf(text, sizeof text, "%u:%02u", (unsigned)(seconds / 60), (unsigned)(seconds % 60));
    }
    return text;
}

// printf's formatting into a string (the texts here are short).
template <typename... Args>
static std::string format_text(const char* format, Args... args) {
    char text[160];
    std::snprintf(text, sizeof text, format, args...);
    return text;
}

// "[2/5]": the song's place in the list.
static std::string place_text(const ViewState& state) {
    return format_text("[%d/%d]", (int)state.index, (int)state.count);
}

const std::vector<std::string>& key_help_lines() {
    static const std::vector<std::string> LINES = {
        "space      pause / resume",
        "Left/Right seek 5 s back / on      Down/Up  30 s back / on",
        "Home       back to the song's start",
        "n / p      next / previous song",
        "1 2 3 d    mute or unmute a track   s  solo 1, 2, 3, drums, none",
        "!          unmute every track",
        "l          endless play on / off",
        "+ / -      volume up / down         [ / ]  stereo narrower / wider",
        "? / h      this help                q / Esc  quit",
    };
    return LINES;
}

std::string StatusView::paint(const char* code, const std::string& text) const {
    if (!color_) return text;
    return std::string("\x1b[") + code + "m" + text + "\x1b[0m";
}

// A meter of cells cells for a level (1 is full scale, in decibels down to
// -48 dB so quiet songs still move it).
static std::string meter(float level, size_t cells) {
    double db = level > 0.0f ? 20.0 * std::log10((double)level) : -100.0;
    double share = (db + 48.0) / 48.0;
    size_t lit = share <= 0.0 ? 0 : share >= 1.0 ? cells : (size_t)(share * (double)cells);
    return std::string(lit, '#') + std::string(cells - lit, '.');
}

// Cuts a line to width - 1 visible columns, so the terminal never wraps
// it; colour sequences take no column and are never cut. Lines are ASCII
// but the song's name, which is cut by bytes: a cut name still fits.
static std::string fit(const std::string& line, size_t width) {
    size_t room = width > 1 ? width - 1 : 1;
    size_t columns = 0;
    for (size_t i = 0; i < line.size(); i++) {
        if (line[i] == '\x1b') {
            size_t end = line.find('m', i);
            if (end == std::string::npos) break;
            i = end;
            continue;
        }
        if (++columns > room) return line.substr(0, i) + (line.find('\x1b') != std::string::npos ? "\x1b[0m" : "");
    }
    return line;
}

std::vector<std::string> StatusView::lines(const ViewState& state, size_t width) const {
    if (state.help) {
        std::vector<std::string> help = key_help_lines();
        for (std::string& line : help) line = fit(line, width);
        return help;
    }
    std::vector<std::string> out;
    out.push_back(place_text(state) + " " + state.name);
    std::string length = state.length == 0 ? "endless" : clock_text(state.length);
    std::string tail = format_text(" %s / %s  record %d pass %u", clock_text(state.frame).c_str(), length.c_str(),
                                   (int)state.record, (unsigned)state.pass);
    size_t bar = width > tail.size() + 12 ? width - tail.size() - 4 : 8;
    if (bar > 40) bar = 40;
    size_t done = state.length == 0 ? 0 : (size_t)((double)state.frame / (double)state.length * (double)bar);
    if (done > bar) done = bar;
    std::string position = "[";
    position.append(done, '=').append(bar - done, '-').append("]").append(tail);
    out.push_back(position);
    std::string tracks;
    for (uint32_t t = 0; t < 4; t++) {
        std::string activity;
        if (state.settings.muted & (1u << t)) {
            activity = paint("2", "muted");
        } else if (state.track_levels) {
            activity = paint("32", meter(state.levels[t], 5));
        } else {
            activity = (state.notes & (1u << t)) ? paint("32", "note ") : ".....";
        }
        tracks += std::string(TRACK_LABELS[t]) + " " + activity + "  ";
    }
    out.push_back(tracks + "L " + paint("32", meter(state.left, 8)) + " R " + paint("32", meter(state.right, 8)));
    std::string loop = state.settings.loop_forever ? "endless" : format_text("loops %d", (int)state.settings.loops);
    std::string settings =
        format_text("volume %u%%  stereo %u%%  %s  underruns %llu", (unsigned)state.settings.volume,
                    (unsigned)state.settings.stereo, loop.c_str(), (unsigned long long)state.underruns);
    if (state.settings.paused) settings += "  " + paint("1", "PAUSED");
    out.push_back(settings + "  (? keys)");
    for (std::string& line : out) line = fit(line, width);
    return out;
}

std::string StatusView::dumb_line(const ViewState& state) const {
    std::string length = state.length == 0 ? "endless" : clock_text(state.length);
    std::string line = place_text(state) + format_text(" %s/%s rec %d pass %u mute ", clock_text(state.frame).c_str(),
                                                       length.c_str(), (int)state.record, (unsigned)state.pass);
    for (uint32_t t = 0; t < 4; t++) line += (state.settings.muted & (1u << t)) ? TRACK_LABELS[t] : "-";
    if (state.settings.paused) line += " paused";
    return line;
}

void StatusView::draw(const ViewState& state, size_t width) {
    std::string out;
    if (!escapes_) {
        // No overlay without cursor movement: the keys are printed once,
        // above the line.
        if (state.help && !help_printed_) {
            clear();
            for (const std::string& key : key_help_lines()) out += fit(key, width) + "\n";
        }
        help_printed_ = state.help;
        std::string line = fit(dumb_line(state), width);
        out += "\r" + line + std::string(width > line.size() + 1 ? width - line.size() - 1 : 0, ' ');
        std::fwrite(out.data(), 1, out.size(), stdout);
        std::fflush(stdout);
        drawn_ = 1;
        width_ = width;
        return;
    }
    std::vector<std::string> block = lines(state, width);
    if (drawn_ == 0) out += "\x1b[?25l";
    if (drawn_ > 1) out += format_text("\x1b[%uA", (unsigned)(drawn_ - 1));
    out += "\r";
    // A narrower terminal may have wrapped what was drawn: clear it all.
    if (width != width_ || block.size() != drawn_) out += "\x1b[J";
    for (size_t i = 0; i < block.size(); i++) {
        if (i > 0) out += "\n";
        out += block[i] + "\x1b[K";
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fflush(stdout);
    drawn_ = block.size();
    width_ = width;
}

void StatusView::clear() {
    if (drawn_ == 0) return;
    std::string out = escapes_ ? "\r\x1b[J" : "\r";
    if (escapes_ && drawn_ > 1) out = format_text("\x1b[%uA", (unsigned)(drawn_ - 1)) + out;
    if (!escapes_) out += std::string(width_ > 1 ? width_ - 1 : 0, ' ') + "\r";
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fflush(stdout);
    drawn_ = 0;
}

void StatusView::finish() {
    if (drawn_ > 0) std::fputs("\n", stdout);
    if (escapes_) std::fputs("\x1b[?25h", stdout);
    std::fflush(stdout);
    drawn_ = 0;
}
