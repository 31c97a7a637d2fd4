// The asset generator: the demo's four images and its music, drawn and
// synthesised from code so that every byte in data/ can be made again.
#pragma once

#include <string>
#include <vector>

// ---- pictures ----

// A straight (not premultiplied) colour, components 0 to 1.
struct Colour {
    double r, g, b;
};
// The colour of a 0xRRGGBB value.
Colour hexColour(unsigned rgb);
// a + (b - a) * t, per component.
Colour mixColour(Colour a, Colour b, double t);

// A picture being drawn: premultiplied RGBA floats, top row first, as it will be seen.
struct Canvas {
    int width, height;
    std::vector<double> rgba; // 4 per pixel
};
// A fully transparent canvas.
Canvas makeCanvas(int width, int height);
// Composites colour c at opacity a (0 to 1) over pixel (x, y) of the canvas.
void blendPixel(Canvas& canvas, int x, int y, Colour c, double a);

// Design coordinates of a canvas: x from -1 (left) to 1 (right), y from -aspect
// (bottom) to aspect (top) where aspect = height / width, so units are square.
struct DesignPoint {
    double x, y;
};
// The design coordinates of pixel (x, y)'s centre.
DesignPoint designPoint(const Canvas& canvas, int x, int y);
// One pixel's size in design units.
double pixelSize(const Canvas& canvas);
// Anti-aliased coverage of a shape from its signed distance (negative inside) in design units.
double coverage(double signedDistance, double pixel);
// Smooth 0-to-1 step between edge0 and edge1.
double smoothStep(double edge0, double edge1, double x);

// How a quad maps the stored image: the file's first row is at t = 0.
enum Orientation {
    AsStored,         // s to the right, t upwards: the image appears as a normal TGA would
    Turned180,        // s to the left, t downwards
    MirroredLeftRight // s to the left, t upwards
};
// The TGA bytes of a canvas (type 2, bottom-left origin, 24 or 32 bits), laid out so
// that a quad with the given orientation shows the canvas as drawn. Transparent
// pixels take the colour of their neighbours so that filtering adds no dark fringe.
std::vector<unsigned char> encodeTga(const Canvas& canvas, Orientation orientation, bool alpha);
// The bytes of a PNG of the canvas (8-bit straight RGBA, as drawn); empty on failure.
std::vector<unsigned char> encodePng(const Canvas& canvas);
// The bytes of a Windows icon holding one PNG image per canvas (Windows Vista and
// later read PNG entries at every size); empty on failure.
std::vector<unsigned char> encodeIco(const std::vector<Canvas>& canvases);

// ---- lettering ----

// A line segment in design coordinates.
struct Segment {
    DesignPoint a, b;
};
// The strokes of a text in a monoline geometric lowercase face, laid out from the
// origin along +x: x-height 1, ascenders 1.55, descenders -0.55. Only the letters the
// demo uses are drawn: a b c m o r w y, the ampersand and the space. *advance gets
// the text's width.
std::vector<Segment> textStrokes(const std::string& text, double* advance);
// Moves and scales strokes: p -> origin + p * scale.
std::vector<Segment> placeStrokes(const std::vector<Segment>& strokes, DesignPoint origin,
                                  double scale);
// Bends strokes laid out along +x round a circle about `centre`: x becomes the angle
// measured clockwise from `startAngle` (radians, 0 at the top) at radius `radius`,
// and y the distance outwards from that radius.
std::vector<Segment> bendStrokes(const std::vector<Segment>& strokes, DesignPoint centre,
                                 double radius, double startAngle);
// Per pixel, the distance in design units to the nearest stroke, capped at `reach`.
std::vector<double> strokeDistance(const Canvas& canvas, const std::vector<Segment>& strokes,
                                   double reach);

// ---- the four images ----

// The sizes of the program's icon, in pixels.
constexpr int kIconSizes[] = {48, 128, 256};
// The sizes in the Windows program's icon: title bar, desktop, Explorer's views.
constexpr int kWindowsIconSizes[] = {16, 32, 48, 256};
// The sizes a web app manifest offers: a phone's home screen and its splash screen.
constexpr int kWebIconSizes[] = {192, 512};

// The frame drawn on the three nested spinning squares: a band with a clear middle.
Canvas drawFrameImage();
// The emblem on the top quad (512 pixels square), also the program's icon at other
// sizes: a badge and the name, transparent around them.
Canvas drawEmblemImage(int size = 512);
// One tile of the scrolling field: soft translucent shapes, clear at the edges.
Canvas drawTileImage();
// The upright backdrop panel, opaque.
Canvas drawBackdropImage();

// ---- music ----

// Samples per second and per bar of the music.
constexpr int kSampleRate = 44100;
constexpr int kStepSamples = 6125; // a sixteenth note at 108 beats a minute
constexpr int kBarSamples = 16 * kStepSamples;
constexpr int kSongBars = 24;

// Interleaved stereo samples, nominally -1 to 1.
using StereoBuffer = std::vector<float>;

// Adds a rendered note into a loop-length buffer from `frame` on, times `gain`;
// whatever runs past the loop's end wraps round to its start.
void addWrapped(StereoBuffer& loop, const StereoBuffer& note, long frame, double gain);

// The instruments: each renders one note, tail included, as interleaved stereo.
// Noise-based ones take a seed, so that no two hits are quite alike yet every run
// is the same. Lengths are in frames; pitches are MIDI note numbers.
StereoBuffer kickNote();
StereoBuffer snareNote(unsigned seed);
StereoBuffer hatNote(bool open, unsigned seed);
StereoBuffer crashNote(unsigned seed);
StereoBuffer riserNote(long length, unsigned seed);
StereoBuffer bassNote(int pitch, long length);
StereoBuffer padNote(int pitch, long length, unsigned seed);
StereoBuffer pluckNote(int pitch, double pan);
StereoBuffer leadNote(int pitch, long length);

// Effects over a whole loop: they run round it until the tail of its end has
// reached its start, so the result loops as seamlessly as the input.
StereoBuffer loopReverb(const StereoBuffer& send);
StereoBuffer loopPingPong(const StereoBuffer& send, long delay, double feedback);

// The piece's first `bars` bars (up to kSongBars) as a seamless loop of exactly
// bars x kBarSamples frames: whatever rings past the end is folded onto the start.
StereoBuffer renderMusic(int bars);
// Encodes the loop as Ogg Vorbis with a fixed stream serial; false on a write failure.
bool writeOggVorbis(const std::string& path, const StereoBuffer& samples);
