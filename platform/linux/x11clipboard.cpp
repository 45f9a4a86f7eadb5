#include "platform/linux/x11clipboard.h"

#include <poll.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <chrono>

// Xlib after Qt: its macros clash with names in Qt's headers.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace {
// An owner that does not answer within this time has no text for us.
constexpr std::chrono::milliseconds answertimeout(1000);

std::string uptozero(std::string s) {
  if (const auto zero = s.find('\0'); zero != std::string::npos) s.resize(zero);
  return s;
}
}  // namespace

bool x11clipboard::open() {
  if (!x_) {
    x_.emplace();
    if (!*x_) return false;
    XSetWindowAttributes a{};
    a.event_mask = PropertyChangeMask;
    requestor_ = XCreateWindow(x_->display(), x_->root(), -10, -10, 1, 1, 0, CopyFromParent, InputOnly, CopyFromParent,
                               CWEventMask, &a);
  }
  return *x_ && requestor_;
}

x11clipboard::~x11clipboard() {
  if (x_ && *x_ && requestor_) XDestroyWindow(x_->display(), requestor_);
}

std::string x11clipboard::read() {
  if (!open()) return {};
  const Window owner = XGetSelectionOwner(x_->display(), x_->atom("CLIPBOARD"));
  if (owner == None) return {};
  // Our own text is read from Qt directly: its owner window cannot answer
  // a request while the UI thread waits here. Asking the server who owns
  // the selection, rather than Qt, notices a new owner even before Qt has
  // processed the news.
  QClipboard *qt = QGuiApplication::instance() ? QGuiApplication::clipboard() : nullptr;
  if (owner == ownwindow_) {
    const QMimeData *m = qt && qt->ownsClipboard() ? qt->mimeData(QClipboard::Clipboard) : nullptr;
    return m ? uptozero(m->data(QStringLiteral("text/plain")).toStdString()) : std::string();
  }
  clipboardbudget budget(clipboardbudget::clock::now());
  for (const char *target : {"UTF8_STRING", "text/plain;charset=utf-8", "STRING", "text/plain"})
    if (auto text = convert(x_->atom(target), budget)) return uptozero(*text);
  return {};
}

// Waits for the next event of a type on the requestor window, for as long as
// the read's budget allows.
bool x11clipboard::waitfor(int type, XEvent &e, const clipboardbudget &budget) {
  const auto now = std::chrono::steady_clock::now();
  const auto deadline = now + budget.waitfor(now, answertimeout);
  for (;;) {
    if (XCheckTypedWindowEvent(x_->display(), requestor_, type, &e)) return true;
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd p{ConnectionNumber(x_->display()), POLLIN, 0};
    poll(&p, 1, static_cast<int>(left.count()));
  }
}

std::optional<std::string> x11clipboard::convert(Atom target, clipboardbudget &budget) {
  Display *d = x_->display();
  const Atom property = x_->atom("ORVALINK_CLIPBOARD");
  // Answers to earlier requests that timed out, and notices of our own
  // deletions, must not be taken for this request's.
  XEvent stale{};
  XSync(d, False);
  while (XCheckWindowEvent(d, requestor_, PropertyChangeMask, &stale) ||
         XCheckTypedWindowEvent(d, requestor_, SelectionNotify, &stale)) {
  }
  XConvertSelection(d, x_->atom("CLIPBOARD"), target, property, requestor_, CurrentTime);
  XFlush(d);
  XEvent e{};
  if (!waitfor(SelectionNotify, e, budget) || e.xselection.property == None) return std::nullopt;

  auto value = x_->property(requestor_, property, AnyPropertyType);
  if (!value) return std::nullopt;
  if (value->type != x_->atom("INCR")) {
    XDeleteProperty(d, requestor_, property);
    XFlush(d);
    return std::string(value->bytes.begin(), value->bytes.end());
  }
  // Large texts come in pieces: each deletion of the property asks for the
  // next one, and an empty piece ends the transfer. The notice of the INCR
  // announcement itself came before the answer and is no piece.
  XEvent announced{};
  while (XCheckTypedWindowEvent(d, requestor_, PropertyNotify, &announced)) {
  }
  std::string text;
  XDeleteProperty(d, requestor_, property);
  XFlush(d);
  for (;;) {
    XEvent p{};
    if (!waitfor(PropertyNotify, p, budget)) return std::nullopt;
    if (p.xproperty.atom != property || p.xproperty.state != PropertyNewValue) continue;
    const auto piece = x_->property(requestor_, property, AnyPropertyType);
    XDeleteProperty(d, requestor_, property);
    XFlush(d);
    if (!piece || piece->bytes.empty()) return text;
    // Too large a text is no text: a cut one could be dialled wrongly.
    if (!budget.fits(text.size(), piece->bytes.size())) return std::nullopt;
    text.append(piece->bytes.begin(), piece->bytes.end());
  }
}

void x11clipboard::write(const std::string &bytes) {
  QClipboard *qt = QGuiApplication::instance() ? QGuiApplication::clipboard() : nullptr;
  if (!qt) return;
  auto *m = new QMimeData;
  m->setData(QStringLiteral("text/plain"), QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
  qt->setMimeData(m, QClipboard::Clipboard);
  if (open()) ownwindow_ = XGetSelectionOwner(x_->display(), x_->atom("CLIPBOARD"));
}
