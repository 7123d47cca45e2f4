#include "app/drawing_session.h"

#include <algorithm>
#include <system_error>

#include "base/number.h"
#include "base/platform.h"
#include "picture/svg_picture.h"

namespace zuka {

bool DrawingSession::Open(const std::filesystem::path& path, std::string& error) {
    if (!host_.Load(path, error)) return false;
    path_ = path;
    if (controller_) controller_->ForgetDrawing();
    promptsTaken_ = host_.PromptLog().size();
    return true;
}

bool DrawingSession::Save(const std::filesystem::path& path, std::string& error,
                          const RunContext* stop) const {
    return host_.Save(path, error, stop);
}

SvgPicture DrawingSession::Picture(const std::string& caption, bool entityColours) {
    SvgPicture pic;
    pic.AddCaption(caption);
    DrawPlot(host_.Plot(), pic, entityColours);
    return pic;
}

bool DrawingSession::SavePicture(const std::filesystem::path& svg, const std::string& caption) {
    return Picture(caption).Save(svg);
}

void DrawingSession::SetInteraction(Interaction* interaction) {
    host_.SetInteraction(interaction ? interaction : &picks_);
}

bool PromptReportsFailure(std::string_view prompt) {
    return prompt.find("失敗") != std::string_view::npos ||
           prompt.find("何も選択されませんでした") != std::string_view::npos;
}

std::vector<std::string> DrawingSession::TakePrompts() {
    const std::vector<std::string>& log = host_.PromptLog();
    std::vector<std::string> prompts;
    for (; promptsTaken_ < log.size(); ++promptsTaken_) {
        std::string p = log[promptsTaken_];
        while (!p.empty() && (p.back() == '\n' || p.back() == '\r')) p.pop_back();
        p.erase(0, std::min(p.size(), p.find_first_not_of("\r\n")));
        prompts.push_back(std::move(p));
    }
    return prompts;
}

bool AcquireTatemono(Controller& c, DrawingSession& s, const std::string& expr) {
    s.Picks().PushSelection(expr);
    s.Connect(c);
    c.Button2Click();
    return !c.ws.AryTatemono.empty();
}

std::vector<std::string> ModelSummary(const Controller& c, const DrawingSession* s) {
    const std::vector<TLineEnt>& model = c.ws.AryTatemono;
    if (model.empty()) return {};
    double zmin = model[0].st.z;
    for (const TLineEnt& w : model) zmin = std::min({zmin, w.st.z, w.ed.z});
    std::vector<std::string> lines;
    lines.push_back("線分\t" + std::to_string(model.size()) + " 本");
    lines.push_back("高さ\t" + FormatGeneral(zmin) + " ～ " + FormatGeneral(c.ws.gbzmax) + " mm");
    const TLoadReport load = s ? s->Host().LastLoad() : TLoadReport{};
    if (load.unitScale != 1)
        lines.push_back("単位\t$INSUNITS " + std::to_string(load.insUnits) + " (1 単位 = " +
                        FormatGeneral(load.unitScale) + " mm, mm に換算して読みました)");
    for (const THeightOverride& h : c.heightOverrides)
        lines.push_back("高さ指定\t" + h.key + "\t" + FormatGeneral(h.metres) + " m\t" +
                        std::to_string(h.entities) + " 図形");
    return lines;
}

std::filesystem::path ResultPath(const std::filesystem::path& drawing,
                                 const std::filesystem::path& requested) {
    if (!requested.empty()) return requested;
    return drawing.parent_path() /
           (PathToUtf8(drawing.stem()) + "-zuka" + PathToUtf8(drawing.extension()));
}

bool IsInputDrawing(const std::filesystem::path& out, const std::filesystem::path& drawing) {
    std::error_code ec;  // a file that does not exist yet is no other file
    return std::filesystem::equivalent(out, drawing, ec);
}

}  // namespace zuka
