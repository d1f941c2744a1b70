// Whether what the tool printed on standard output arrived. Text there is
// buffered, so a full disk or a device that takes nothing (/dev/full) shows
// only when the stream is flushed and asked.
#pragma once

// Flushes standard output. True when every write to it went through;
// otherwise says why on standard error ("tamselexport: cannot write
// standard output: No space left on device") and returns false. The caller
// sets errno to 0 before it prints, so the reason is the failed write's.
bool standard_output_written();
