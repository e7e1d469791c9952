#include "clip_text.h"

void AppendClipCell(QString& out, QStringView value) {
    bool quote = false;
    for (QChar c : value)
        if (c == u'\n' || c == u'\r' || c == u'"' || c == u'\t') {
            quote = true;
            break;
        }
    if (!quote) {
        out += value;
        return;
    }
    out += u'"';
    const qsizetype n = value.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = value[i];
        if (c == u'"') {
            out += QLatin1String("\"\"");
        } else {
            out += c;
        }
    }
    out += u'"';
}

ClipTextReader::ClipTextReader(QString text) : text_(std::move(text)) {
    if (text_.endsWith(QLatin1String("\r\n")))
        text_.chop(2);
    else if (text_.endsWith(u'\n') || text_.endsWith(u'\r'))
        text_.chop(1);
    if (text_.contains(QLatin1String("\r\n"))) {
        sep_ = u'\r';
        sepLength_ = 2;
    } else if (!text_.contains(u'\n') && text_.contains(u'\r')) {
        sep_ = u'\r';
    }
    done_ = text_.isEmpty();
}

bool ClipTextReader::separatorAt(qsizetype i) const {
    if (text_[i] != sep_) return false;
    return sepLength_ == 1 || (i + 1 < text_.size() && text_[i + 1] == u'\n');
}

bool ClipTextReader::next(QStringList& cells) {
    cells.clear();
    if (done_) return false;
    const qsizetype n = text_.size();
    for (;;) {
        const qsizetype start = pos_;
        bool taken = false;
        if (start < n && text_[start] == u'"') {
            QString value;
            qsizetype q = start + 1;
            for (;;) {
                const qsizetype close = text_.indexOf(u'"', q);
                if (close < 0) break;
                value += QStringView(text_).mid(q, close - q);
                if (close + 1 < n && text_[close + 1] == u'"') {
                    value += u'"';
                    q = close + 2;
                    continue;
                }
                const qsizetype after = close + 1;
                if (after == n || text_[after] == u'\t' || separatorAt(after)) {
                    cells << value;
                    pos_ = after;
                    taken = true;
                }
                break;
            }
        }
        if (!taken) {
            qsizetype end = start;
            while (end < n && text_[end] != u'\t' && !separatorAt(end))
                ++end;
            cells << text_.mid(start, end - start);
            pos_ = end;
        }
        if (pos_ >= n) {
            done_ = true;
            break;
        }
        if (text_[pos_] == u'\t') {
            ++pos_;
            continue;
        }
        pos_ += sepLength_;
        break;
    }
    ++line_;
    return true;
}

int ClipTextReader::skipRest() {
    int count = 0;
    QStringList cells;
    while (next(cells))
        ++count;
    return count;
}
