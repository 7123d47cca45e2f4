#include "gui/check_windows.h"

#include <QCheckBox>
#include <QColor>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <sstream>

#include <QComboBox>

#include "app/drawing_session.h"
#include "app/kisei_report.h"
#include "app/settings_table.h"
#include "app/sky_check_command.h"

namespace zuka {
namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> out;
    std::size_t from = 0;
    for (;;) {
        const std::size_t tab = line.find('\t', from);
        out.push_back(line.substr(from, tab == std::string::npos ? std::string::npos : tab - from));
        if (tab == std::string::npos) return out;
        from = tab + 1;
    }
}

QTableWidget* ResultTable(const char* name) {
    auto* t = new QTableWidget;
    t->setObjectName(name);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->verticalHeader()->setVisible(false);
    t->verticalHeader()->setDefaultSectionSize(t->fontMetrics().height() + 4);
    return t;
}

}  // namespace

void ShowLines(QTableWidget& table, const std::vector<std::string>& lines, bool headed) {
    std::vector<std::vector<std::string>> rows;
    std::size_t cols = 0;
    for (const std::string& l : lines) {
        rows.push_back(Fields(l));
        cols = std::max(cols, rows.back().size());
    }
    const std::size_t first = headed && !rows.empty() ? 1 : 0;
    table.clear();
    table.setColumnCount(static_cast<int>(cols));
    table.setRowCount(static_cast<int>(rows.size() - first));
    table.horizontalHeader()->setVisible(headed);
    if (headed && !rows.empty()) {
        QStringList heads;
        for (const std::string& h : rows[0]) heads << Q(h);
        table.setHorizontalHeaderLabels(heads);
    }
    for (std::size_t r = first; r < rows.size(); ++r)
        for (std::size_t c = 0; c < rows[r].size(); ++c)
            table.setItem(static_cast<int>(r - first), static_cast<int>(c),
                          new QTableWidgetItem(Q(rows[r][c])));
    table.resizeColumnsToContents();
}

void ShowVerdict(QLabel& label, const std::string& text) {
    const bool pass = text == "適合";
    const bool fail = text == "不適合";
    label.setText(Q(text));
    label.setStyleSheet(pass   ? "color: #1a7f2a; font-weight: bold; font-size: 16pt;"
                        : fail ? "color: #c01818; font-weight: bold; font-size: 16pt;"
                               : "");
}

KiseiWindow::KiseiWindow(Controller& c, CommandRunner run, QWidget* parent)
    : QWidget(parent, Qt::Window), c_(c), run_(std::move(run)) {
    setObjectName("KiseiWindow");
    setWindowTitle("日影規制チェック");
    auto* form = new QFormLayout;
    h5_ = new QLineEdit("4");
    h5_->setObjectName("KiseiHours5");
    h10_ = new QLineEdit("2.5");
    h10_->setObjectName("KiseiHours10");
    plane_ = new QLineEdit;
    plane_->setObjectName("KiseiPlane");
    plane_->setPlaceholderText("時刻ページの測定面の高さ");
    form->addRow("5 m 線の規制時間 (時間)", h5_);
    form->addRow("10 m 線の規制時間 (時間)", h10_);
    form->addRow("測定面の高さ (m)", plane_);
    headroom_ = new QCheckBox("建物ごとの高さの余裕も求める");
    headroom_->setObjectName("KiseiHeadroom");
    tenth_ = new QCheckBox("評価時間を 1 秒に（時間がかかります）");
    tenth_->setObjectName("KiseiTenth");
    start_ = new QPushButton("敷地を選択して判定");
    start_->setObjectName("KiseiStart");
    start_->setToolTip("図面で敷地の線分、ポリラインを選択します");
    connect(start_, &QPushButton::clicked, this, [this] { Check(); });
    verdict_ = new QLabel;
    verdict_->setObjectName("KiseiVerdict");
    table_ = ResultTable("KiseiTable");
    auto* l = new QVBoxLayout(this);
    l->addLayout(form);
    l->addWidget(headroom_);
    l->addWidget(tenth_);
    auto* row = new QHBoxLayout;
    row->addWidget(start_);
    row->addWidget(verdict_, 1);
    l->addLayout(row);
    l->addWidget(table_, 1);
    resize(720, 420);
}

void KiseiWindow::Check() {
    if (c_.form.CommandRunning) return;
    std::string error;
    std::optional<TKiseiRequest> q = KiseiRequestOf(h5_->text().toStdString(),
                                                    h10_->text().toStdString(),
                                                    plane_->text().trimmed().toStdString(), error);
    if (!q) {
        ShowVerdict(*verdict_, error);
        return;
    }
    q->headroom = headroom_->isChecked();
    q->tenth = tenth_->isChecked();
    run_([this, &q] { c_.KiseiCheck(*q); });
    const TKiseiRun& k = c_.LastKisei();
    switch (k.status) {
        case KiseiStatus::Checked:
            ShowLines(*table_, KiseiReportLines(c_, std::nullopt), false);
            ShowVerdict(*verdict_, k.result.Holds() ? "適合" : "不適合");
            return;
        case KiseiStatus::NoModel:
            ShowVerdict(*verdict_, "先に建物を取得してください．");
            break;
        case KiseiStatus::NoSite:
        case KiseiStatus::SiteFailed:
            ShowVerdict(*verdict_, "敷地の閉じた輪郭を選択してください．");
            break;
        case KiseiStatus::Stopped:
            ShowVerdict(*verdict_, "中止しました．");
            break;
        case KiseiStatus::Undecided:
            ShowVerdict(*verdict_, "日影が計算範囲の端に届き、判定できません．");
            break;
        case KiseiStatus::NotRun:
            ShowVerdict(*verdict_, "");
            break;
    }
    ShowLines(*table_, {}, false);
}

}  // namespace zuka

namespace zuka {
namespace {

const struct {
    const char* word;  // as the setting has it
    const char* caption;
} kKinds[] = {{"road", "道路斜線"}, {"adjacent", "隣地斜線"}, {"north", "北側斜線"}};

// The setting's label as the window shows it, without its key.
QString LabelOf(const char* key) { return Q(WithoutSettingKeys(SettingName("SkyCheck", key))); }

}  // namespace

SkyCheckWindow::SkyCheckWindow(Controller& c, DrawingSession& session, CommandRunner run,
                               QWidget* parent)
    : QWidget(parent, Qt::Window), c_(c), session_(session), run_(std::move(run)) {
    setObjectName("SkyCheckWindow");
    setWindowTitle("天空率の判定");
    auto* form = new QFormLayout;
    zone_ = new QComboBox;
    zone_->setObjectName("SkyCheckZone");
    zone_->addItem("");
    std::stringstream names(SkyZoneNames());
    for (std::string z; names >> z;) zone_->addItem(Q(z));
    far_ = new QLineEdit;
    far_->setObjectName("SkyCheckFar");
    auto* kinds = new QHBoxLayout;
    for (std::size_t i = 0; i < std::size(kKinds); ++i) {
        kinds_[i] = new QCheckBox(QString::fromUtf8(kKinds[i].caption));
        kinds_[i]->setObjectName(QString("SkyCheckKind_") + kKinds[i].word);
        kinds->addWidget(kinds_[i]);
    }
    auto* kindsNote = new QLabel("（どれも選ばないとき: 用途地域で適用される斜線）");
    kinds->addWidget(kindsNote);
    kinds->addStretch(1);
    roads_ = new QLineEdit;
    roads_->setObjectName("SkyCheckRoads");
    roads_->setPlaceholderText("例 6;4,1（幅員 6 m の道路と、幅員 4 m・後退 1 m の道路）");
    roadLevel_ = new QLineEdit;
    roadLevel_->setObjectName("SkyCheckRoadLevel");
    roadLevel_->setPlaceholderText("0");
    margin_ = new QLineEdit;
    margin_->setObjectName("SkyCheckMargin");
    margin_->setPlaceholderText("0");
    corners_ = new QComboBox;
    corners_->setObjectName("SkyCheckCorners");
    corners_->addItems({"垂直", "沿線"});
    corners_->setToolTip("敷地が間口より広いとき: 垂直は間口の端からの垂線の間、"
                         "沿線は適用距離内の敷地の最も外側の点まで");
    form->addRow(LabelOf("zone"), zone_);
    form->addRow(LabelOf("far") + " (%)", far_);
    form->addRow(LabelOf("kinds"), kinds);
    form->addRow(LabelOf("roads") + " (m)", roads_);
    form->addRow(LabelOf("roadLevel") + " (m)", roadLevel_);
    form->addRow(LabelOf("margin") + " (%)", margin_);
    form->addRow(LabelOf("corners"), corners_);
    start_ = new QPushButton("敷地と道路を選択して判定");
    start_->setObjectName("SkyCheckStart");
    start_->setToolTip("図面で敷地の線分、ポリラインを選び、続けて道路ごとに道路境界線を選びます");
    connect(start_, &QPushButton::clicked, this, [this] { Check(); });
    verdict_ = new QLabel;
    verdict_->setObjectName("SkyCheckVerdict");
    verdict_->setWordWrap(true);
    table_ = ResultTable("SkyCheckTable");
    summary_ = ResultTable("SkyCheckSummary");
    summary_->setMaximumHeight(6 * (summary_->fontMetrics().height() + 4));
    auto* l = new QVBoxLayout(this);
    l->addLayout(form);
    auto* row = new QHBoxLayout;
    row->addWidget(start_);
    row->addWidget(verdict_, 1);
    l->addLayout(row);
    l->addWidget(table_, 1);
    l->addWidget(summary_);
    resize(1100, 560);
    ShowSettings();
}

void SkyCheckWindow::ShowSettings() {
    const Form& f = c_.form;
    const int z = zone_->findText(Q(f.SkyCheckZone));
    zone_->setCurrentIndex(z < 0 ? 0 : z);
    far_->setText(Q(f.SkyCheckFar));
    for (std::size_t i = 0; i < std::size(kKinds); ++i)
        kinds_[i]->setChecked(("," + f.SkyCheckKinds + ",").find(std::string(",") + kKinds[i].word +
                                                                 ",") != std::string::npos);
    roads_->setText(Q(f.SkyCheckRoads));
    roadLevel_->setText(Q(f.SkyCheckRoadLevel));
    margin_->setText(Q(f.SkyCheckMargin));
    const int k = corners_->findText(Q(f.SkyCheckCorners));
    corners_->setCurrentIndex(k < 0 ? 0 : k);
}

void SkyCheckWindow::TakeSettings() {
    Form& f = c_.form;
    f.SkyCheckZone = zone_->currentText().toStdString();
    f.SkyCheckFar = far_->text().trimmed().toStdString();
    std::string kinds;
    for (std::size_t i = 0; i < std::size(kKinds); ++i)
        if (kinds_[i]->isChecked()) kinds += (kinds.empty() ? "" : ",") + std::string(kKinds[i].word);
    f.SkyCheckKinds = kinds;
    f.SkyCheckRoads = roads_->text().trimmed().toStdString();
    f.SkyCheckRoadLevel = roadLevel_->text().trimmed().toStdString();
    f.SkyCheckMargin = margin_->text().trimmed().toStdString();
    f.SkyCheckCorners = corners_->currentText().toStdString();
}

void SkyCheckWindow::Check() {
    if (c_.form.CommandRunning) return;
    TakeSettings();
    std::ostringstream err;
    std::ostringstream out;
    std::optional<TSkyCheckResult> result;
    run_([&] {
        std::optional<TSkyCheckSetup> setup = ParseSkyCheck(SkyCheckTextsOf(c_.form), c_.form, err);
        if (!setup) return;
        if (c_.ws.AryTatemono.empty()) {
            err << "先に計画建物を取得してください．";
            return;
        }
        result = RunSkyCheck(c_, session_.Host(), &session_, *setup, {}, err);
        if (result) DrawSkyCheck(c_, session_.Host(), &session_, *result, setup->input, out, err);
    });
    std::vector<std::string> lines;
    if (result) {
        std::vector<std::string> rows;
        for (const std::vector<std::string>& cells : SkyCheckTable(*result)) {
            std::string line;
            for (std::size_t i = 0; i < cells.size(); ++i) line += (i ? "\t" : "") + cells[i];
            rows.push_back(line);
        }
        ShowLines(*table_, rows, true);
        // 不適合 in red and the closest point in bold, as the drawn table marks them.
        for (int r = 0; r < table_->rowCount(); ++r) {
            for (int col = 0; col < table_->columnCount(); ++col) {
                QTableWidgetItem* it = table_->item(r, col);
                if (!it) continue;
                const QTableWidgetItem* v = table_->item(r, 10);
                const QTableWidgetItem* n = table_->item(r, 11);
                if (v && v->text() == "不適合") it->setForeground(QColor(192, 24, 24));
                if (n && !n->text().isEmpty()) {
                    QFont bold = it->font();
                    bold.setBold(true);
                    it->setFont(bold);
                }
            }
        }
        // Bold rows are wider than the widths the rows were shown with.
        table_->resizeColumnsToContents();
        lines = SkyCheckSummary(*result);
        std::istringstream maps(out.str());
        for (std::string line; std::getline(maps, line);) lines.push_back(line);
    } else {
        ShowLines(*table_, {}, false);
    }
    ShowLines(*summary_, lines, false);
    const std::string problem = err.str();
    if (!problem.empty()) {
        std::string text = problem;
        while (!text.empty() && text.back() == '\n') text.pop_back();
        ShowVerdict(*verdict_, text);
    } else if (result) {
        ShowVerdict(*verdict_, result->Passes() ? "適合" : "不適合");
    } else {
        ShowVerdict(*verdict_, "");
    }
}

}  // namespace zuka
