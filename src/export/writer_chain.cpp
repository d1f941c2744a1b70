#include "export/writer_chain.h"

bool WriterChain::open(Container container, ByteWriter* out, uint64_t frames, const SndfileTags& tags) {
    out_ = out;
    first_ = out;
    if (container == Container::FLAC) {
        flac_.reset(new FlacStream(out, frames, tags.software, tags.comments));
        first_ = flac_.get();
    }
    if (container == Container::OGG) {
        stamp_.reset(new OggPageStamp(out, tags.software, tags.comments));
        first_ = stamp_.get();
    }
    return container != Container::MP3 || open_mp3(tags);
}

bool WriterChain::open_mp3(const SndfileTags& tags) {
    Id3Texts texts = {tags.title, tags.artist, tags.software, tags.comments};
    std::vector<uint8_t> tag = id3v2_tag(texts);
    id3v1_ = id3v1_tag(texts);
    mp3_file_ = out_->seekable() ? out_ : &spool_;
    id3v2_size_ = tag.size();
    after_id3_.reset(new ShiftedWriter(mp3_file_, tag.size()));
    first_ = after_id3_.get();
    return mp3_file_->write(tag.data(), tag.size());
}

bool WriterChain::finish_mp3(uint64_t stream_size) {
    if (!id3v1_.empty()) {
        if (mp3_file_->seekable() && !mp3_file_->seek(id3v2_size_ + stream_size)) return false;
        if (!mp3_file_->write(id3v1_.data(), id3v1_.size())) return false;
    }
    return spool_.data.empty() || out_->write(spool_.data.data(), spool_.data.size());
}

bool WriterChain::finish(uint64_t stream_size) {
    if (flac_) return flac_->finish();
    if (stamp_) return stamp_->finish();
    if (mp3_file_) return finish_mp3(stream_size);
    return true;
}
