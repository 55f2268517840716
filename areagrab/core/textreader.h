#pragma once
// Reading the text in a capture (OCR) with Tesseract, in Simplified Chinese
// and English. One TextReader reads one picture; it runs on a worker thread
// while any thread may watch its progress or cancel it.
#include <QImage>
#include <QString>
#include <QStringList>

#include <atomic>

namespace areagrab {

struct TextResult {
    QString text;  // the lines read, "\n" between them
    QString error; // why nothing could be read; empty when it was
};

class TextReader {
public:
    // Tesseract's names of the languages read.
    static QStringList languages();
    // The folder that holds the language data in use (TESSDATA_PREFIX, or
    // the system's), and which of languages() is not in it.
    static QString dataFolder();
    static QStringList missingLanguages();

    // Reads image; blocks until done or cancelled.
    TextResult read(const QImage &image);
    // 0..100 while read runs; safe from any thread.
    int progress() const { return progress_.load(); }
    void cancel() { cancelled_.store(true); }

    // The engine's own progress and cancel callbacks land here.
    void setProgress(int percent) { progress_.store(percent); }
    bool isCancelled() const { return cancelled_.load(); }

private:
    std::atomic<int> progress_{0};
    std::atomic<bool> cancelled_{false};
};

// Tesseract puts a space between neighbouring Chinese characters; a reader
// does not: removes spaces that stand between two CJK characters (or a CJK
// character and CJK punctuation) and trims each line.
QString tidyRecognizedText(const QString &raw);

} // namespace areagrab
