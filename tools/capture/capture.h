// The capture tool's plan: which tick each output frame shows, how many frames a
// duration holds, and what ffmpeg is asked to make. Pure: no GL, no processes.
#pragma once

#include <string>
#include <vector>

// Frames per second as the exact fraction num/den, both positive.
struct FrameRate {
    long num;
    long den;
};

// What the output path's extension asks for.
enum class OutputKind { Unknown, H264Video, Vp9Video, WebpPicture, GifPicture };

// Parses "60" or "200/9" (whole numbers up to 1000000); false for anything else or zero.
bool parseFrameRate(const char* text, FrameRate* rate);
// Parses seconds such as "10", "2.5" or ".125" (at most 6 decimals, at most a day)
// into microseconds; false for junk, a sign, or zero.
bool parseSeconds(const char* text, long* micros);
// Parses a whole number from 1 to max; false for anything else.
bool parseCount(const char* text, long max, long* value);
// The number of frames at rate that fills micros, to the nearest frame, at least 1.
long frameCountFor(long micros, FrameRate rate);
// The tick output frame f shows: the whole number of 15 ms periods in f / rate seconds.
long tickForFrame(long frame, FrameRate rate);
// The length of frames at rate, to the nearest microsecond.
long microsForFrames(long frames, FrameRate rate);
// "12.345678": microseconds as seconds, the way ffmpeg reads a duration.
std::string secondsText(long micros);
// The kind of output a path names, from its extension (case ignored).
OutputKind outputKindOf(const std::string& path);
// True for the kinds that carry the music.
bool isVideo(OutputKind kind);
// ffmpeg's arguments (program name first) to encode raw 8-bit RGB frames of w x h
// from standard input at rate into path, frames long; videos loop the music over
// the whole length, pictures are scaled to pictureWidth and loop forever.
std::vector<std::string> ffmpegArguments(OutputKind kind, const std::string& path, int w, int h,
                                         FrameRate rate, long frames, const std::string& music,
                                         int pictureWidth);
