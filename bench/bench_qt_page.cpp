// The payment web page on Qt WebEngine, from the moment it is presented until the gateway's
// payment page has finished loading in it (the signature request, the window, the web view and
// the page), against Qt WebEngine loading the same POST itself into a fresh view of the same
// size. Both run in the same process, against the same sandbox on loopback, after a first load
// has started the web engine. The report ends with the ratio screen / bare load from this run,
// held to 1.5 by the fastest repetitions (the program exits non-zero above 2.25).
// Needs a display: xvfb-run -a vanto_bench_qt_page.
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "PageBenchSetup.h"
#include "RatioReport.h"

#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <QWebEngineCertificateError>
#include <QWebEngineHttpRequest>
#include <QWebEnginePage>
#include <QWebEngineView>

#include "vanto/qt/PaymentPage.h"
#include "vanto/qt/QtBinding.h"
#include "vanto/sandbox/SandboxGateway.h"
#include "vanto/transport/TraceSink.h"
#include "vanto/web/WebViewPaymentController.h"
#include "vanto/web/WebViewPaymentPresenter.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr auto kBound = 30s;
const QString kPagePath = QStringLiteral("/zel/realizarPago");

// The payment page's POST as the presenter builds it, signed once for the whole run.
std::optional<vanto::platform::URLRequest> pagePost;

// Runs the event loop, never sleeping the thread (the web engine works on it), until `done` holds
// or `bound` has passed; returns done().
bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds bound) {
    QEventLoop loop;
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, &loop, [&] {
        if (done()) {
            loop.quit();
        }
    });
    look.start(1);
    QTimer::singleShot(bound, &loop, &QEventLoop::quit);
    if (!done()) {
        loop.exec();
    }
    return done();
}

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void letGo() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void BM_ScreenUntilPageLoaded(benchmark::State& state) {
    for (auto _ : state) {
        const auto started = Clock::now();
        auto screen = vanto::WebViewPaymentController::create("BENCH0001", 19.99, "Libro",
                                                              vanto::TransactionType::normal, "");
        QWidget* window = vanto::qt::present(screen);
        auto* view = window ? window->findChild<QWebEngineView*>() : nullptr;
        if (!view) {
            state.SkipWithError("the screen has no web view");
            break;
        }
        bool loaded = false;
        QObject::connect(view->page(), &QWebEnginePage::loadFinished, view,
                         [&, view](bool ok) { loaded = ok && view->url().path() == kPagePath; });
        if (!runUntil([&] { return loaded; }, kBound)) {
            state.SkipWithError("the payment page did not load");
            break;
        }
        state.SetIterationTime(secondsSince(started));
        window->hide();
        screen.reset();
        letGo();
    }
}
BENCHMARK(BM_ScreenUntilPageLoaded)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->ComputeStatistics("min", vanto::bench::minimum);

QWebEngineHttpRequest bareRequest() {
    QWebEngineHttpRequest request(QUrl(QString::fromStdString(pagePost->url)),
                                  QWebEngineHttpRequest::Post);
    for (const auto& [name, value] : pagePost->allHTTPHeaderFields.fields()) {
        if (name != "Content-Length") {
            request.setHeader(QByteArray::fromStdString(name), QByteArray::fromStdString(value));
        }
    }
    if (pagePost->httpBody) {
        request.setPostData(QByteArray(pagePost->httpBody->data(),
                                       static_cast<qsizetype>(pagePost->httpBody->size())));
    }
    return request;
}

// A view that takes the sandbox's certificate, as the screen's does through its anchors.
std::unique_ptr<QWebEngineView> bareView() {
    auto view = std::make_unique<QWebEngineView>();
    QObject::connect(view->page(), &QWebEnginePage::certificateError,
                     [](const QWebEngineCertificateError& error) {
                         QWebEngineCertificateError accepted = error;
                         accepted.acceptCertificate();
                     });
    view->resize(480, 720);
    return view;
}

void BM_WebEngineLoadsThePost(benchmark::State& state) {
    for (auto _ : state) {
        const auto started = Clock::now();
        auto view = bareView();
        view->show();
        bool loaded = false;
        QObject::connect(view->page(), &QWebEnginePage::loadFinished, view.get(),
                         [&](bool ok) { loaded = ok; });
        view->page()->load(bareRequest());
        if (!runUntil([&] { return loaded; }, kBound)) {
            state.SkipWithError("the payment page did not load");
            break;
        }
        state.SetIterationTime(secondsSince(started));
        view.reset();
        letGo();
    }
}
BENCHMARK(BM_WebEngineLoadsThePost)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->ComputeStatistics("min", vanto::bench::minimum);

using vanto::bench::prepareWebEngine;
using vanto::bench::Unseen;

// Signs the page's POST once, and loads it once so that the web engine has started and knows the
// sandbox's certificate before anything is timed.
bool prepareRun() {
    auto unseen = std::make_shared<Unseen>();
    auto presenter = std::make_shared<vanto::WebViewPaymentPresenter<Unseen>>(unseen);
    presenter->loadWebViewRequest(
        "BENCH0001", "", 19.99, vanto::TransactionType::normal, "Libro",
        [](vanto::platform::URLRequest request) { pagePost = std::move(request); });
    if (!runUntil([] { return pagePost.has_value(); }, kBound)) {
        return false;
    }
    auto view = bareView();
    view->show();
    bool loaded = false;
    QObject::connect(view->page(), &QWebEnginePage::loadFinished, view.get(),
                     [&](bool ok) { loaded = ok; });
    view->page()->load(bareRequest());
    return runUntil([&] { return loaded; }, kBound);
}

}  // namespace

int main(int argc, char** argv) {
    if (!vanto::bench::initialize(argc, argv, {"--benchmark_min_time=1"})) {
        return 1;
    }

    prepareWebEngine();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    int qtArgc = 1;
    QApplication application(qtArgc, argv);

    vanto::sandbox::SandboxOptions options;
    options.logRequests = false;
    vanto::sandbox::SandboxGateway sandbox(options);
    if (!sandbox.start()) {
        std::cerr << "the sandbox did not start: " << sandbox.lastError() << "\n";
        return 1;
    }
    if (!sandbox.useAsTestEnvironment()) {
        std::cerr << "the sandbox could not be made the test environment\n";
        return 1;
    }
    // The library's traces of every call would only slow both sides the same; they go nowhere.
    vanto::setTraceSink([](std::string_view) {});

    int status = 0;
    {
        const vanto::qt::QtBinding binding;
        if (!prepareRun()) {
            std::cerr << "the payment page could not be loaded once before the run\n";
            status = 1;
        } else {
            // The screen, with its signature request and its window, is held to 1.5 times the
            // bare load; the program fails above 2.25. Compared by the fastest repetition of
            // each: both mostly wait on the web engine's processes, which a loaded machine
            // delays unevenly (medians of 1.3 to 2.3 were seen from one build under load).
            vanto::bench::RatioReporter reporter(false, {{.measured = "BM_ScreenUntilPageLoaded",
                                                          .baseline = "BM_WebEngineLoadsThePost",
                                                          .bound = 1.5,
                                                          .statistic = "min"}});
            benchmark::RunSpecifiedBenchmarks(&reporter);
            status = reporter.status();
        }
        letGo();
    }
    letGo();
    benchmark::Shutdown();
    return status;
}
