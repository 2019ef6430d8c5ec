#include "app/help_viewer.h"

#include <QFileInfo>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>
#include <memory>
#include <utility>

namespace app {
namespace {

constexpr char kScheme[] = "chm";
constexpr int kInitialWidth = 760;
constexpr int kInitialHeight = 560;

// Object paths are ANSI bytes; Latin-1 carries them through a QUrl and back unchanged.
QUrl TopicUrl(const std::string& objectPath) {
    QUrl url;
    url.setScheme(QString::fromLatin1(kScheme));
    // Decoded mode: a "%" in an object name is a character of the name, not an escape.
    url.setPath(QString::fromLatin1(objectPath.data(), static_cast<qsizetype>(objectPath.size())),
                QUrl::DecodedMode);
    return url;
}

class ChmBrowser : public QTextBrowser {
  public:
    explicit ChmBrowser(QWidget* parent) : QTextBrowser(parent) {
        setOpenLinks(false);
        setOpenExternalLinks(false);
        connect(this, &QTextBrowser::anchorClicked, this, &ChmBrowser::Follow);
    }

    void SetArchive(std::shared_ptr<help::ChmFile> file) { file_ = std::move(file); }

    QVariant loadResource(int /*type*/, const QUrl& name) override {
        // Only the help file itself: a page must not pull in local files or network addresses.
        if (!file_ || name.scheme() != QLatin1String(kScheme)) return {};
        const QString path = name.path();
        // Our own URLs carry Latin-1; links written in a UTF-8 page arrive as UTF-8.
        std::optional<std::string> bytes = file_->Read(path.toLatin1().toStdString());
        if (!bytes) bytes = file_->Read(path.toUtf8().toStdString());
        if (!bytes) return {};
        return QByteArray(bytes->data(), static_cast<qsizetype>(bytes->size()));
    }

  private:
    void Follow(const QUrl& url) {
        // Addresses outside the help file are not opened: this viewer starts no browser.
        if (url.scheme() == QLatin1String(kScheme)) setSource(url);
    }

    std::shared_ptr<help::ChmFile> file_;
};

}  // namespace

class HelpWindow : public QWidget {
  public:
    HelpWindow() : QWidget(nullptr, Qt::Window), browser_(new ChmBrowser(this)) {
        setObjectName(QStringLiteral("helpViewer"));
        browser_->setObjectName(QStringLiteral("helpBrowser"));
        setAttribute(Qt::WA_DeleteOnClose);
        // An open help window must not keep the program running once the main window is closed.
        setAttribute(Qt::WA_QuitOnClose, false);
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(browser_);
        resize(kInitialWidth, kInitialHeight);
        connect(browser_, &QTextBrowser::sourceChanged, this, &HelpWindow::ShowTitle);
    }

    void Load(const help::ResolvedTopic& topic) {
        fileName_ = QFileInfo(QString::fromLocal8Bit(topic.helpFile)).fileName();
        browser_->SetArchive(topic.file);
        browser_->clearHistory();
        // A request loads its topic afresh, also when the window shows that page already.
        const QUrl url = TopicUrl(topic.topicPath);
        if (browser_->source() == url) {
            browser_->reload();
        } else {
            browser_->setSource(url);
        }
        ShowTitle();
    }

  private:
    void ShowTitle() {
        const QString title = browser_->documentTitle();
        setWindowTitle(title.isEmpty() ? fileName_ : title);
    }

    ChmBrowser* browser_;
    QString fileName_;
};

QtHelpViewer::~QtHelpViewer() {
    delete window_.data();
}

void QtHelpViewer::show(const help::ResolvedTopic& topic) {
    if (window_.isNull()) window_ = new HelpWindow;
    window_->Load(topic);
    window_->show();
    window_->raise();
    window_->activateWindow();
}

}  // namespace app
