#pragma once
// The show of a screensaver without a window: the project's pictures one at
// a time on the background, in Random or Float mode. A front end (the
// preview's window, the X11 player, the Windows player) gives it the area's
// size and the ticks of its two timers, draws what it answers, and passes on
// what it reports; it decides nothing itself.
//
// Timer1 is the show's beat (every 1000 - FloatSpeed ms in Float mode, every
// second in Random mode); Timer2 counts seconds. The next picture is decoded
// ahead on a worker thread, so a tick never waits for a photo: when a
// picture's moment comes and it is not ready yet, the motion goes on and the
// picture changes as soon as it is.
#include "decode/Picture.h"
#include "engine/DecodeWorker.h"
#include "record/SaverSettings.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

// What the show reads of a screensaver's settings.
struct ShowSettings {
    ShowMode mode = ShowMode::Random;
    int floatSpeed = 990;       // Float: a step every 1000 - floatSpeed ms
    int changeEvery = 5;        // Float: seconds between pictures
    int displaySeconds = 3;     // Random: seconds one place lasts
    int displayTimes = 2;       // Random: places of each picture
    int pictureCount = 1;       // slots 1..pictureCount are shown
    int timer1Interval() const;
};

// What the show reads of a screensaver's settings record (slots beyond the
// tenth never count).
ShowSettings showSettingsOf(const SaverSettings& record);

// The pictures of the show by slot number (1-based). Called on the engine's
// thread only; what `open` gives is read on the worker's.
class ShowPictures {
public:
    virtual ~ShowPictures() = default;
    virtual bool exists(int slot) = 0;
    // The picture's bytes; throws a std::exception carrying the text to show
    // when they cannot be had.
    virtual std::unique_ptr<ByteSource> open(int slot) = 0;
    virtual PictureFormat format(int slot) = 0;
};

struct PictureRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    int right() const { return left + width; }
    int bottom() const { return top + height; }
    bool operator==(const PictureRect&) const = default;
};

// Where the picture stands and which pixels it shows.
struct ShowFrame {
    bool visible = false;
    PictureRect rect;
    int slot = 0;
    std::shared_ptr<const FittedPicture> picture;
};

// Something the user must be told, at the moment it happens.
struct ShowNotice {
    enum Kind {
        Missing,       // "The graphic NAME was not found."; the show has ended
        Undecodable,   // `message` is the decoder's; the show goes on
    } kind;
    int slot;
    std::string message;
};

class ShowEngine {
public:
    ShowEngine(ShowSettings settings, ShowPictures& pictures, std::function<void()> wake = {},
               DecodeWorker::Mode mode = DecodeWorker::Mode::Thread);
    ~ShowEngine();
    ShowEngine(const ShowEngine&) = delete;
    ShowEngine& operator=(const ShowEngine&) = delete;

    const ShowSettings& settings() const { return settings_; }
    // The area the show covers (the screen, or a window), in pixels. A
    // change of size takes effect with the next picture (one decoded ahead
    // for the old size is decoded again).
    void setArea(int width, int height);

    // Starts over with picture 1 at a random place, both timers afresh.
    void start(std::uint32_t seed, std::int64_t nowMs = 0);
    // Runs the ticks of both timers that are due at `nowMs` (any clock in
    // milliseconds, the one start was given), and takes a finished decode.
    void run(std::int64_t nowMs);
    // When run should be called next, at the latest.
    std::int64_t nextTickAt() const;
    // Takes a finished decode (the worker's wake asks for this).
    void pollDecode();
    // Ends the show: the decode under way stops at once.
    void end();
    bool ended() const { return ended_; }

    // The two timers' ticks, for a front end that keeps its own timers.
    void timer1Tick();
    void timer2Tick();

    const ShowFrame& frame() const { return frame_; }
    std::optional<ShowNotice> takeNotice();
    // True while a picture is due but still decoding.
    bool waitingForPicture() const { return pending_ != Pending::None; }

    // The show's own state, by the names the program has always used: the
    // slot shown, the places it has had (Random), the seconds of this place
    // (Random) or picture (Float), the direction it floats in.
    int ImageIndex() const { return imageIndex_; }
    int ShownCount() const { return shownCount_; }
    int TickCount() const { return tickCount_; }
    int SecondCount() const { return secondCount_; }
    bool MoveLeft() const { return moveLeft_; }
    bool MoveUp() const { return moveUp_; }
    // A moment of the show, for a test to start from.
    void SetImageIndex(int slot) { imageIndex_ = slot; }
    void SetSecondCount(int seconds) { secondCount_ = seconds; }
    void SetMoveLeft(bool left) { moveLeft_ = left; }
    void SetMoveUp(bool up) { moveUp_ = up; }

    // The steps of the show, each as its own operation.
    // Shows the picture of slot ImageIndex where the shown one stands.
    void LoadPicture();
    void PlaceAtRandom();
    void FloatStep();
    int Random(int n);   // 0..n-1; 0 when n < 1
    void SetPictureTop(int top) { frame_.rect.top = top; }
    void SetPictureLeft(int left) { frame_.rect.left = left; }

private:
    enum class Pending {
        None,
        First,     // the show's first picture: placed at random when it comes
        Place,     // Random mode: shown at a new place
        InPlace,   // Float mode: shown where the old one stood
    };
    // Makes slot ImageIndex (or the next one that can be decoded) the shown
    // picture, now or the moment it is decoded; ends the show when missing.
    void loadPicture(Pending how);
    // Shows a finished decode as `pending_` asks; false when it failed.
    bool show(const DecodeResult& result, bool atItsMoment);
    std::optional<DecodeResult> requestDecode(int slot);
    std::optional<DecodeResult> takeFinished();
    void decodeAhead();
    int nextSlot(int slot) const;
    void placeRandomly();
    // Timer1's tick in each mode.
    void randomTick();
    void floatTick();
    void notify(ShowNotice notice);

    int imageIndex_ = 1;
    int shownCount_ = 0;
    int tickCount_ = 0;
    int secondCount_ = 0;
    bool moveLeft_ = true;
    bool moveUp_ = true;
    ShowSettings settings_;
    ShowPictures& pictures_;
    DecodeWorker worker_;
    std::mt19937 rng_;
    int areaWidth_ = 0;
    int areaHeight_ = 0;
    ShowFrame frame_;
    std::optional<DecodeResult> ahead_;   // decoded and waiting for its moment
    int decoding_ = 0;                    // slot the worker decodes, 0: none
    Pending pending_ = Pending::None;
    std::vector<bool> undecodable_;
    std::vector<ShowNotice> notices_;
    bool started_ = false;
    bool ended_ = false;
    std::int64_t timer1Due_ = 0;
    std::int64_t timer2Due_ = 0;
    std::int64_t now_ = 0;
};

// Where a single picture stands when centred in an area: each half taken
// on its own, rounded toward zero.
PictureRect centredIn(int areaWidth, int areaHeight, int width, int height);

// The parts of the area to draw again when the picture moves or changes from
// `before` to `after`: nothing when nothing changed.
std::vector<PictureRect> changedAreas(const ShowFrame& before, const ShowFrame& after);
