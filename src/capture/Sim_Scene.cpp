#include "capture/Sim_Scene.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

namespace {

// Layout in reference pixels (1920 x 1080).
constexpr double Track_Top_Ref = 300.0;
constexpr double Track_Bottom_Ref = 880.0;
constexpr double Lane_Height_Ref = (Track_Bottom_Ref - Track_Top_Ref) / Sim_Scene::Dogs;
constexpr double Nose_Above_Lane_Centre = 14.0;
constexpr double Start_X_Ref = -250.0;  // every dog's nose at the start of a cycle
constexpr double Finish_Width_Ref = 4.0;
// Text block inside the centre window that every crop size keeps.
const QRectF Text_Block_Ref(772.0, 192.0, 376.0, 96.0);
// Dog outline relative to the nose tip, reference pixels.
const QRectF Dog_Extent_Ref(-215.0, -30.0, 218.0, 100.0);

constexpr double Base_Speed[Sim_Scene::Dogs] = {1520.0, 1490.0, 1545.0, 1500.0, 1530.0, 1480.0};

uint64_t Mix(uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

int64_t Floor_Div(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0); }

QColor Rgb(uint32_t c) { return QColor((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF); }

}  // namespace

Sim_Scene::Sim_Scene(int32_t width, int32_t height)
    : width_(width), height_(height), sx_(width / Reference_Width), sy_(height / Reference_Height) {
    Draw_Background();
}

uint32_t Sim_Scene::Box_Color(int box) {
    switch (box) {
        case 1: return 0xB50000;  // dark red
        case 2: return 0x4074CA;  // blue
        case 3: return 0xFFFFFF;  // white
        case 4: return 0x000000;  // black
        case 5: return 0xE7B11B;  // orange
        case 6: return 0xFFFFFF;  // white with bands
        default: return 0x808080;
    }
}

uint32_t Sim_Scene::Number_Color(int box) {
    switch (box) {
        case 3:
        case 5: return 0x000000;
        case 6: return 0xFF0000;
        default: return 0xFFFFFF;
    }
}

void Sim_Scene::Add_Run(const Run& run) { runs_.push_back(run); }

const Sim_Scene::Run* Sim_Scene::Run_At(int64_t scene_ms) const {
    for (auto it = runs_.rbegin(); it != runs_.rend(); ++it)
        if (static_cast<double>(scene_ms) >= it->Begin_Ms) return &*it;
    return nullptr;
}

double Sim_Scene::Speed(int box, int64_t scene_ms) const {
    if (box < 1 || box > Dogs) return 0.0;
    if (const Run* run = Run_At(scene_ms)) {
        const double duration = run->Crossing_Ms[static_cast<size_t>(box - 1)] - run->Begin_Ms;
        return duration > 0 ? (Finish_X() - Start_X_Ref * sx_) / duration * 1000.0 : 0.0;
    }
    const int64_t cycle = Floor_Div(scene_ms, Cycle_Mill);
    // A deterministic change of up to +-30 px/s per cycle reshuffles the finish.
    const uint64_t h = Mix(static_cast<uint64_t>(cycle) * 8 + static_cast<uint64_t>(box));
    const double variation = static_cast<double>(h % 61) - 30.0;
    return (Base_Speed[box - 1] + variation) * sx_;
}

double Sim_Scene::Nose_X(int box, int64_t scene_ms) const {
    if (box < 1 || box > Dogs) return 0.0;
    if (const Run* run = Run_At(scene_ms))
        return Start_X_Ref * sx_ + Speed(box, scene_ms) * (static_cast<double>(scene_ms) - run->Begin_Ms) / 1000.0;
    const int64_t cycle = Floor_Div(scene_ms, Cycle_Mill);
    const double in_cycle = static_cast<double>(scene_ms - cycle * Cycle_Mill);
    return Start_X_Ref * sx_ + Speed(box, scene_ms) * in_cycle / 1000.0;
}

int32_t Sim_Scene::Nose_Y(int box) const { return static_cast<int32_t>(std::lround(Nose_Y_Ref(box) * sy_)); }

double Sim_Scene::Finish_X() const { return width_ / 2.0; }
int32_t Sim_Scene::Finish_Line_Width() const {
    return std::max(1, static_cast<int32_t>(std::lround(Finish_Width_Ref * sx_)));
}
int32_t Sim_Scene::Track_Top() const { return static_cast<int32_t>(std::lround(Track_Top_Ref * sy_)); }
int32_t Sim_Scene::Track_Bottom() const { return static_cast<int32_t>(std::lround(Track_Bottom_Ref * sy_)); }

void Sim_Scene::Draw_Background() {
    background_ = QImage(width_, height_, QImage::Format_BGR888);
    background_.fill(QColor(62, 72, 92));  // stands and sky
    QPainter p(&background_);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillRect(QRectF(0, Track_Top(), width_, Track_Bottom() - Track_Top()), QColor(190, 160, 115));  // sand
    p.fillRect(QRectF(0, Track_Bottom(), width_, height_ - Track_Bottom()), QColor(70, 130, 60));     // grass
    // Lane separators.
    p.setPen(QPen(QColor(168, 138, 98), 1));
    for (int lane = 1; lane < Dogs; ++lane) {
        const int y = static_cast<int>(std::lround((Track_Top_Ref + Lane_Height_Ref * lane) * sy_));
        p.drawLine(0, y, width_ - 1, y);
    }
    // The finish line with its post above the track.
    const int fw = Finish_Line_Width();
    const int fx = static_cast<int>(std::lround(Finish_X())) - fw / 2;
    const int top = static_cast<int>(std::lround((Track_Top_Ref - 20) * sy_));
    const int bottom = static_cast<int>(std::lround((Track_Bottom_Ref + 20) * sy_));
    p.fillRect(fx, top, fw, bottom - top, Qt::white);
    const int post_w = std::max(2, static_cast<int>(std::lround(12 * sx_)));
    const int post_top = static_cast<int>(std::lround(120 * sy_));
    for (int i = 0; i < 6; ++i) {
        const int y0 = post_top + (top - post_top) * i / 6, y1 = post_top + (top - post_top) * (i + 1) / 6;
        p.fillRect(fx + fw / 2 - post_w / 2, y0, post_w, y1 - y0, i % 2 ? Qt::white : QColor(200, 20, 20));
    }
}

QRect Sim_Scene::Dog_Bounds(int box, double nose_x) const {
    const double s = Depth_Scale(box);
    const QRectF ref(Dog_Extent_Ref.left() * s + nose_x / sx_, Dog_Extent_Ref.top() * s + Nose_Y_Ref(box),
                     Dog_Extent_Ref.width() * s, Dog_Extent_Ref.height() * s);
    const QRectF dev(ref.left() * sx_, ref.top() * sy_, ref.width() * sx_, ref.height() * sy_);
    return dev.toAlignedRect().adjusted(-2, -2, 2, 2);
}

namespace {

// The dogs' own coats where the jacket does not cover them: brindles, dark
// and light (a black dog would wear box 4's colour on its head).
constexpr uint32_t Coats[] = {0x5F4632, 0x73583E};

}  // namespace

void Sim_Scene::Harden(uint64_t seed) {
    hardened_ = true;
    seed_ = seed;
    noise_.resize(1 << 16);
    uint64_t state = Mix(seed ^ 0x5EED);
    for (int8_t& v : noise_) {
        // About three levels either way: the sum of a few uniform draws.
        state = Mix(state);
        int sum = 0;
        for (int k = 0; k < 4; ++k) sum += static_cast<int>((state >> (k * 8)) & 0xFF) - 128;
        v = static_cast<int8_t>(std::clamp(sum / 42, -12, 12));
    }
}

double Sim_Scene::Depth_Scale(int box) const { return hardened_ ? 0.82 + 0.07 * (box - 1) : 1.0; }

double Sim_Scene::Nose_Y_Ref(int box) const {
    if (!hardened_) return Track_Top_Ref + Lane_Height_Ref * (box - 0.5) - Nose_Above_Lane_Centre;
    // Seen from near the outside rail: the far lanes lie closer together.
    const double b = box - 1;
    return 340.0 + 72.0 * b * (0.85 + 0.03 * b) - Nose_Above_Lane_Centre;
}

int Sim_Scene::Run_Index(int64_t scene_ms) const {
    for (int i = static_cast<int>(runs_.size()) - 1; i >= 0; --i)
        if (static_cast<double>(scene_ms) >= runs_[static_cast<size_t>(i)].Begin_Ms) return i;
    return -1;
}

double Sim_Scene::Light(int64_t scene_ms) const {
    if (!hardened_) return 1.0;
    const int r = Run_Index(scene_ms);
    if (r < 0) return 1.0;
    const Run& run = runs_[static_cast<size_t>(r)];
    const uint64_t h = Mix(seed_ * 1000003 + static_cast<uint64_t>(r) * 7 + 1);
    const double first = *std::min_element(run.Crossing_Ms.begin(), run.Crossing_Ms.end());
    // A cloud over the sun (or away from it) somewhere round the finish.
    const double at = first - 600 + static_cast<double>(h % 900);
    const double darker = 0.78 + static_cast<double>((h >> 16) % 10) / 100.0;
    const bool clearing = ((h >> 32) & 1) != 0;
    const double share = std::clamp((static_cast<double>(scene_ms) - at) / 150.0, 0.0, 1.0);
    return clearing ? darker + (1 - darker) * share : 1 - (1 - darker) * share;
}

bool Sim_Scene::Jacket_Hidden(int box, int64_t scene_ms) const {
    for (const Hidden& h : hidden_)
        if (h.box == box && static_cast<double>(scene_ms) >= h.from && static_cast<double>(scene_ms) < h.to)
            return true;
    if (!hardened_) return false;
    const int r = Run_Index(scene_ms);
    if (r < 0) return false;
    const uint64_t h = Mix(seed_ * 999983 + static_cast<uint64_t>(r) * 13 + 5);
    if (h % 2 == 0) return false;  // every other run or so
    if (static_cast<int>((h >> 8) % Dogs) + 1 != box) return false;
    const Run& run = runs_[static_cast<size_t>(r)];
    const double crossing = run.Crossing_Ms[static_cast<size_t>(box - 1)];
    // Mostly on the way to the line; now and then at it.
    const bool at_line = (h >> 20) % 5 == 0;
    const double from = crossing + (at_line ? -30.0 : -420.0 + static_cast<double>((h >> 24) % 260));
    const double length = 40.0 + static_cast<double>((h >> 40) % 80);
    const double t = static_cast<double>(scene_ms);
    return t >= from && t < from + length;
}

void Sim_Scene::Draw_Dog(QPainter& p, int box, int64_t scene_ms, double nose_x, bool jacket_hidden) const {
    const double s = Depth_Scale(box);
    p.save();
    p.translate(nose_x, Nose_Y_Ref(box) * sy_);
    p.scale(sx_ * s, sy_ * s);
    const QColor jacket = Rgb(Box_Color(box));
    const QColor coat = hardened_ ? Rgb(Coats[Mix(seed_ * 31 + static_cast<uint64_t>(box)) % 2]) : jacket;
    const QColor body = jacket_hidden ? coat : jacket;
    const QColor outline = box == 4 ? QColor(60, 60, 60) : QColor(30, 30, 30);
    // Legs swing with the gallop.
    const double phase = 2.0 * M_PI * static_cast<double>(scene_ms % 300) / 300.0 + box;
    p.setPen(QPen(hardened_ ? coat : (jacket == Qt::white ? QColor(225, 225, 225) : jacket.darker(120)), 7));
    for (int leg = 0; leg < 4; ++leg) {
        const double hip_x = leg < 2 ? -88.0 - leg * 10 : -150.0 - (leg - 2) * 10;
        const double swing = 0.6 * std::sin(phase + leg * 1.3 + (leg < 2 ? 0.0 : M_PI));
        p.drawLine(QPointF(hip_x, 30), QPointF(hip_x + 32 * std::sin(swing), 30 + 30 * std::cos(swing)));
    }
    // Tail.
    p.setPen(QPen(hardened_ ? coat : (jacket == Qt::white ? QColor(215, 215, 215) : jacket), 5));
    p.drawLine(QPointF(-170, 14), QPointF(-205, 6 + 8 * std::sin(phase)));
    // Body (the jacket), neck, head and snout (the snout's tip is the nose).
    p.setPen(QPen(outline, 1));
    p.setBrush(body);
    p.drawEllipse(QPointF(-120, 20), 55, 20);
    if (box == 6 && !jacket_hidden) {
        QPainterPath clip;
        clip.addEllipse(QPointF(-120, 20), 55, 20);
        p.save();
        p.setClipPath(clip);
        // Black-and-white stripes on a hardened picture, grey bands otherwise.
        const QColor band = hardened_ ? QColor(20, 20, 20) : QColor(160, 160, 160);
        p.fillRect(QRectF(-175, 10, 110, 10), band);
        p.fillRect(QRectF(-175, 30, 110, 10), band);
        p.restore();
    }
    p.setBrush(coat);
    p.drawPolygon(QPolygonF({QPointF(-52, -6), QPointF(-32, 2), QPointF(-72, 26), QPointF(-94, 8)}));
    p.drawEllipse(QPointF(-38, -4), 18, 13);
    p.drawPolygon(QPolygonF({QPointF(-48, -14), QPointF(-42, -28), QPointF(-34, -13)}));
    p.setPen(Qt::NoPen);
    p.drawPolygon(QPolygonF({QPointF(-26, -9), QPointF(0, -3), QPointF(0, 3), QPointF(-26, 8)}));
    if (!jacket_hidden) {
        // Box number on the jacket.
        QFont f(QStringLiteral("Arial"));
        f.setPixelSize(26);
        f.setBold(true);
        p.setFont(f);
        p.setPen(Rgb(Number_Color(box)));
        p.drawText(QRectF(-150, 4, 60, 32), Qt::AlignCenter, QString::number(box));
    }
    p.restore();
}

void Sim_Scene::Light_And_Noise(int64_t scene_ms, Canvas& canvas) const {
    // Over the middle of the picture, where every crop is taken from.
    const int x0 = std::max(0, static_cast<int>(Finish_X()) - 512),
              x1 = std::min(width_, static_cast<int>(Finish_X()) + 512);
    const int y0 = std::max(0, Track_Top() - 40), y1 = std::min(height_, Track_Bottom() + 40);
    if (x1 <= x0 || y1 <= y0) return;
    canvas.dirty.push_back(QRect(x0, y0, x1 - x0, y1 - y0));
    const int gain = static_cast<int>(std::lround(Light(scene_ms) * 256));
    uint8_t lut[256];
    for (int v = 0; v < 256; ++v) lut[v] = static_cast<uint8_t>(std::min(255, v * gain / 256));
    size_t k = static_cast<size_t>(Mix(static_cast<uint64_t>(scene_ms) ^ seed_));
    const size_t mask = noise_.size() - 1;
    for (int y = y0; y < y1; ++y) {
        uint8_t* row = canvas.image.scanLine(y) + static_cast<size_t>(x0) * 3;
        for (int i = 0; i < (x1 - x0) * 3; ++i)
            row[i] = static_cast<uint8_t>(std::clamp(lut[row[i]] + noise_[k++ & mask], 0, 255));
    }
}

void Sim_Scene::Render(int64_t scene_ms, const std::vector<std::string>& caption, Canvas& canvas) const {
    const QRect whole(0, 0, width_, height_);
    if (canvas.image.size() != background_.size() || canvas.image.format() != background_.format()) {
        canvas.image = background_.copy();
        canvas.dirty.clear();
    }
    // Put back what the previous drawing covered.
    for (const QRect& r0 : canvas.dirty) {
        const QRect r = r0.intersected(whole);
        if (r.isEmpty()) continue;
        for (int y = r.top(); y <= r.bottom(); ++y)
            std::memcpy(canvas.image.scanLine(y) + r.left() * 3, background_.constScanLine(y) + r.left() * 3,
                        static_cast<size_t>(r.width()) * 3);
    }
    canvas.dirty.clear();

    QPainter p(&canvas.image);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setRenderHint(QPainter::TextAntialiasing, false);
    // The far lanes first: a nearer dog covers what lies behind it.
    for (int box = 1; box <= Dogs; ++box) {
        const double nose_x = Nose_X(box, scene_ms);
        const QRect bounds = Dog_Bounds(box, nose_x);
        if (!bounds.intersects(whole)) continue;
        const double blur = hardened_ ? Speed(box, scene_ms) * exposure_ms_ / 1000.0 : 0.0;
        const int reach = static_cast<int>(std::ceil(blur / 2)) + 1;
        const QRect touched = bounds.adjusted(-reach, 0, reach, 0);
        canvas.dirty.push_back(touched);
        const bool hidden = Jacket_Hidden(box, scene_ms);
        // A sensor pixel gathers the light falling anywhere on it: a hardened
        // picture's edges are drawn with the share of each pixel they cover,
        // so a nose between two pixel edges shows where it is.
        if (blur < 1.0) {
            p.setRenderHint(QPainter::Antialiasing, hardened_);
            Draw_Dog(p, box, scene_ms, nose_x, hidden);
            p.setRenderHint(QPainter::Antialiasing, false);
            continue;
        }
        // Motion blur: the dog drawn on its own, spread along its way over the
        // exposure (centred on the field's time), then laid over the picture.
        if (layer_.width() < touched.width() || layer_.height() < touched.height()) {
            const QSize size(std::max(layer_.width(), touched.width()), std::max(layer_.height(), touched.height()));
            layer_ = QImage(size, QImage::Format_ARGB32_Premultiplied);
            spread_ = QImage(size, QImage::Format_ARGB32_Premultiplied);
        }
        QImage& layer = layer_;
        layer.fill(Qt::transparent);
        {
            QPainter lp(&layer);
            lp.setRenderHint(QPainter::Antialiasing, true);
            lp.translate(-touched.left(), -touched.top());
            Draw_Dog(lp, box, scene_ms, nose_x, hidden);
        }
        // The way run meanwhile is blur pixels long, not a whole number of
        // them: each pixel of the way counts by how much of it the way covers.
        std::vector<double> weights;
        const int half = static_cast<int>(std::ceil(blur / 2 - 0.5));
        for (int k = -half; k <= half; ++k)
            weights.push_back(std::max(0.0, std::min(k + 0.5, blur / 2) - std::max(k - 0.5, -blur / 2)) / blur);
        QImage& spread = spread_;
        const int w = touched.width();
        for (int y = 0; y < touched.height(); ++y) {
            const auto* in = reinterpret_cast<const QRgb*>(layer.constScanLine(y));
            auto* out = reinterpret_cast<QRgb*>(spread.scanLine(y));
            for (int x = 0; x < w; ++x) {
                double sum[4] = {0, 0, 0, 0};
                for (int k = -half; k <= half; ++k) {
                    const int from = x - k;
                    if (from < 0 || from >= w) continue;
                    const QRgb c = in[from];
                    const double wk = weights[static_cast<size_t>(k + half)];
                    sum[0] += wk * qAlpha(c), sum[1] += wk * qRed(c), sum[2] += wk * qGreen(c), sum[3] += wk * qBlue(c);
                }
                out[x] = qRgba(static_cast<int>(sum[1] + 0.5), static_cast<int>(sum[2] + 0.5),
                               static_cast<int>(sum[3] + 0.5), static_cast<int>(sum[0] + 0.5));
            }
        }
        p.drawImage(touched.topLeft(), spread, QRect(QPoint(0, 0), touched.size()));
    }
    if (hardened_) Light_And_Noise(scene_ms, canvas);

    // Caption block: frame number and capture time written into the picture.
    const QRectF block(Text_Block_Ref.left() * sx_, Text_Block_Ref.top() * sy_, Text_Block_Ref.width() * sx_,
                       Text_Block_Ref.height() * sy_);
    const QRect block_px = block.toAlignedRect();
    canvas.dirty.push_back(block_px);
    p.fillRect(block_px, Qt::black);
    if (!caption.empty()) {
        QFont f(QStringLiteral("Courier New"));
        const int line_h = std::max(6, static_cast<int>(block.height() / static_cast<double>(caption.size())));
        f.setPixelSize(std::max(6, line_h * 4 / 5));
        f.setBold(true);
        p.setFont(f);
        p.setPen(QColor(255, 255, 0));
        for (size_t i = 0; i < caption.size(); ++i)
            p.drawText(QRectF(block.left() + 4 * sx_, block.top() + static_cast<double>(i) * line_h,
                              block.width() - 8 * sx_, line_h),
                       Qt::AlignLeft | Qt::AlignVCenter, QString::fromStdString(caption[i]));
    }
}

QPoint Sim_Scene::Default_Start_LED_Place(int32_t width, int32_t height) {
    return QPoint(static_cast<int>(std::lround(1040.0 * width / Reference_Width)),
                  static_cast<int>(std::lround(150.0 * height / Reference_Height)));
}

int32_t Sim_Scene::Start_LED_Radius() const { return std::max(3, static_cast<int32_t>(std::lround(10 * sx_))); }

void Sim_Scene::Draw_Start_LED(QPoint centre, bool lit, Canvas& canvas) const {
    if (canvas.image.isNull()) return;
    const int r = Start_LED_Radius();
    const QRect housing(centre.x() - 2 * r, centre.y() - 2 * r, 4 * r + 1, 4 * r + 1);
    canvas.dirty.push_back(housing);
    QPainter p(&canvas.image);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillRect(housing, QColor(25, 25, 25));
    p.setPen(Qt::NoPen);
    p.setBrush(lit ? QColor(255, 236, 110) : QColor(70, 60, 30));
    p.drawEllipse(centre, r, r);
}
