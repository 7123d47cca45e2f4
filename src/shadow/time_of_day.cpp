#include "shadow/time_of_day.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <exception>
#include <mutex>

#include "base/number.h"
#include "base/thread_runner.h"
#include "geom/acquisition.h"
#include "geom/outline.h"
#include "geom/primitives.h"

namespace zuka {
namespace {

constexpr char kWalkFailed[] = " 日影作成に失敗しました．";
constexpr char kStepFailed[] = "日影作成に失敗しました．";
constexpr char kOutOfRange[] =
    "次の時刻は太陽位置の計算範囲 (7:30～16:30) の外のため、日影を作成しませんでした : ";

bool HasFraction(double t) { return t - std::trunc(t) > 0; }

// One outline in AryLine as a closed POLYLINE at the plane height and its label as a TEXT.
void WriteOutline(const Workspace& ws, const TZukaParams& p, double t, double azimuth,
                  DxfList& dxf) {
    DxfWriter w(dxf);
    w.Start("POLYLINE", p.layer);
    if (HasFraction(t)) w.Add(kDxfHidden2);
    w.Add(kDxfVerticesFollow);
    w.Add(" 20\r\n0.0\r\n 30\r\n" + FormatGeneral(p.takasa));
    w.Add(kDxfClosed);
    const std::vector<TLineEnt>& ring = ws.AryLine;
    for (std::size_t i = 0; i < ring.size(); ++i) {
        const TAcadPoint v = i == 0 ? ring[0].st : ring[i - 1].ed;
        w.Start("VERTEX", p.layer).Group(10, v.x).Group(20, v.y);
    }
    w.SeqEnd();

    const TAcadPoint at = FarthestPointInDir(ws, p.kitaDeg * kPi / 180);
    std::string label = JikokuToHm(t);
    if (!p.timeOnly) label += " " + FormatFixed(azimuth * kRadToDeg, 2) + "%%d";
    w.Start("TEXT", p.layer)
        .Group(10, at.x)
        .Group(20, at.y)
        .Group(30, p.takasa)
        .Group(40, p.textHeight)
        .Group(1, label)
        .Add(" 41\r\n0.8");
}

std::string TimeList(const std::vector<double>& times) {
    std::string s;
    for (double t : times) s += (s.empty() ? "" : ", ") + JikokuToHm(t);
    return s;
}

}  // namespace

TAcadPoint ShadowPoint(TAcadPoint p, double dir, double factor, double h) {
    TAcadPoint s = p.z > h ? PolarPoint(p, dir, (p.z - h) * factor) : p;
    s.z = 0;
    return s;
}

bool FillZukaShadowLines(Workspace& ws, double dir, double factor, double h, RunContext& run) {
    std::vector<TLineEnt>& out = ws.AryLine;
    out.clear();
    auto piece = [&](TAcadPoint a, TAcadPoint b) {
        TLineEnt s;
        s.st = a;
        s.ed = b;
        out.push_back(s);
    };
    const std::vector<TLineEnt> walls = WallsAbovePlane(ws.AryTatemono, h);
    for (const TLineEnt& wall : walls) piece({wall.st.x, wall.st.y, 0}, {wall.ed.x, wall.ed.y, 0});
    for (const TLineEnt& wall : walls) {
        if (run.StopRequested()) {
            out.clear();
            return false;
        }
        run.ProcessMessages();
        const TAcadPoint sSt = ShadowPoint(wall.st, dir, factor, h);
        const TAcadPoint sEd = ShadowPoint(wall.ed, dir, factor, h);
        piece(sSt, sEd);
        piece(sSt, {wall.st.x, wall.st.y, 0});
        piece(sEd, {wall.ed.x, wall.ed.y, 0});
    }
    return true;
}

std::vector<double> ZukaTimes(double kaisi, double owari, double kankaku) {
    std::vector<double> times;
    if (!(kankaku > 0)) return times;
    for (double t = kaisi; t <= owari; t += kankaku) times.push_back(t);
    return times;
}

namespace {

// One clock time's outlines, worked out apart from the others.
struct TZukaTime {
    DxfList dxf;
    int outlines = 0;
    std::vector<TZukaOutline> drawn;
    bool noSun = false;       // outside the sun model's hours: not drawn
    bool walkFailed = false;  // a walk did not close with 4 or more segments left
    bool failed = false;      // an error inside the step
    bool stopped = false;
    bool done = false;
};

// What the workers ask: whether the run is stopping (the window is only asked on its own
// thread).
class StopFlag : public RunContext {
public:
    explicit StopFlag(const std::atomic<bool>& flag) : flag_(flag) {}
    bool StopRequested() const override { return flag_.load(std::memory_order_relaxed); }

private:
    const std::atomic<bool>& flag_;
};

void DrawZukaTime(Workspace& ws, const SunModel& sun, const TZukaParams& p, double t,
                  RunContext& stop, TZukaTime& out) {
    double azimuth = 0;
    double factor = 1;
    // Outside 7:30 to 16:30 the sun model has no position: such a time would be drawn as a
    // shadow toward due north, which is no shadow at all. It is left out and named.
    if (!sun.GetTaiyouHoui(t, azimuth, factor)) {
        out.noSun = true;
        return;
    }
    try {
        if (!FillZukaShadowLines(ws, sun.ShadowDir(azimuth), factor, p.takasa, stop) ||
            !PrepareOutlineSegments(ws, nullptr, &stop)) {
            out.stopped = true;
            return;
        }
        const OutlineLoopEnd end = TraceOutlineLoop(ws, stop, [&](const Workspace& w) {
            WriteOutline(w, p, t, azimuth, out.dxf);
            ++out.outlines;
            TZukaOutline& o = out.drawn.emplace_back(TZukaOutline{t, azimuth, {}});
            for (const TLineEnt& s : w.AryLine) o.vertices.push_back(s.st);
        });
        out.stopped = end == OutlineLoopEnd::Stopped;
        out.walkFailed = end == OutlineLoopEnd::WalkFailed;
    } catch (const std::exception&) {
        out.failed = true;
    }
}

}  // namespace

TZukaResult BuildZukaDiagram(Workspace& ws, const SunModel& sun, const TZukaParams& p, DxfList& dxf,
                             RunContext& run,
                             const std::function<void(const std::string&)>& message) {
    TZukaResult result;
    const std::vector<double> times = ZukaTimes(p.kaisi, p.owari, p.kankaku);
    run.SetProgressMax(static_cast<int>((p.owari - p.kaisi) / p.kankaku) + 1);
    run.SetProgressPosition(0);

    // The times are worked out by as many workers as there are cores, each on its own copy
    // of the lists, in the order of the times; this thread takes their outlines in the same
    // order, shows the progress and asks the window whether to stop.
    std::vector<TZukaTime> out(times.size());
    std::atomic<bool> stopping{false};
    std::atomic<std::size_t> next{0};
    std::mutex mutex;
    std::condition_variable ready;
    std::atomic<int> exited{0};
    const auto work = [&] {
        try {
            Workspace own;
            own.AryTatemono = ws.AryTatemono;
            StopFlag stop(stopping);
            for (std::size_t i; (i = next++) < times.size() && !stopping.load();) {
                DrawZukaTime(own, sun, p, times[i], stop, out[i]);
                const std::lock_guard<std::mutex> lock(mutex);
                out[i].done = true;
                ready.notify_all();
            }
        } catch (...) {
            // Out of memory for the worker's lists: the times it left are worked below.
        }
        ++exited;
    };
    // With no worker started, this thread works the times itself.
    BackgroundWorkers workers(WorkerThreadCount(times.size()), work);
    StopFlag ownStop(stopping);
    int position = 0;
    for (std::size_t i = 0; i < times.size(); ++i) {
        run.SetProgressPosition(++position);
        if (run.StopRequested()) {
            result.stopped = true;
            break;
        }
        run.ProcessMessages();
        if (workers.Started() == 0) {
            DrawZukaTime(ws, sun, p, times[i], ownStop, out[i]);
        } else {
            std::unique_lock<std::mutex> lock(mutex);
            while (!out[i].done && !result.stopped &&
                   exited.load() < workers.Started()) {
                ready.wait_for(lock, std::chrono::milliseconds(20));
                lock.unlock();
                run.ProcessMessages();
                result.stopped = run.StopRequested();
                lock.lock();
            }
            if (result.stopped) break;
            if (!out[i].done) {
                lock.unlock();
                DrawZukaTime(ws, sun, p, times[i], ownStop, out[i]);
            }
        }
        TZukaTime& t = out[i];
        if (t.noSun) {
            result.skipped.push_back(times[i]);
            continue;
        }
        if (t.failed) {
            message(kStepFailed);
            break;
        }
        if (t.stopped) {
            result.stopped = true;
            break;
        }
        dxf.insert(dxf.end(), std::make_move_iterator(t.dxf.begin()),
                   std::make_move_iterator(t.dxf.end()));
        result.outlines += t.outlines;
        result.drawn.insert(result.drawn.end(), std::make_move_iterator(t.drawn.begin()),
                            std::make_move_iterator(t.drawn.end()));
        if (t.walkFailed) message(JikokuToHmsCeil5(times[i]) + kWalkFailed);
        ++result.times;
        t = TZukaTime{};
    }
    stopping = true;
    workers.Join();
    if (!result.skipped.empty()) message(OutOfRangeNote(result.skipped));
    return result;
}

std::string OutOfRangeNote(const std::vector<double>& times) {
    return kOutOfRange + TimeList(times);
}

bool GetZukaHani(const Workspace& ws, const SunModel& sun, double kaisi, double owari, double h,
                 double& xmin, double& ymin, double& xmax, double& ymax) {
    const std::vector<TLineEnt> walls = WallsAbovePlane(ws.AryTatemono, h);
    if (walls.empty()) return false;
    double x0 = walls[0].st.x;
    double y0 = walls[0].st.y;
    double x1 = x0;
    double y1 = y0;
    auto extend = [&](TAcadPoint q) {
        x0 = std::min(x0, q.x);
        y0 = std::min(y0, q.y);
        x1 = std::max(x1, q.x);
        y1 = std::max(y1, q.y);
    };
    for (double t = kaisi; t <= owari; t += 1) {
        double azimuth = 0;
        double factor = 1;
        // Hours without a sun position extend the box by the buildings only, as the diagram
        // draws no shadow for them.
        const bool sunUp = sun.GetTaiyouHoui(t, azimuth, factor);
        const double dir = sun.ShadowDir(azimuth);
        for (const TLineEnt& wall : walls) {
            extend(wall.st);
            extend(wall.ed);
            if (!sunUp) continue;
            if (wall.st.z > h) extend(PolarPoint(wall.st, dir, (wall.st.z - h) * factor));
            if (wall.ed.z > h) extend(PolarPoint(wall.ed, dir, (wall.ed.z - h) * factor));
        }
    }
    xmin = x0;
    ymin = y0;
    xmax = x1;
    ymax = y1;
    return true;
}

}  // namespace zuka
