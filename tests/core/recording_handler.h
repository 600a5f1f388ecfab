// A document error handler for tests: records every report and, for fatal
// types, jumps back to the call made through Recorder::Call.
#pragma once

#include <csetjmp>
#include <functional>
#include <string>
#include <vector>

#include "core/folio.h"

struct Report {
    int type;
    std::string message;
};

class Recorder {
public:
    // Runs `call`; returns false when a fatal error left it.
    bool Call(const std::function<void()> &call) {
        armed_ = true;
        if (setjmp(jump_) != 0) {
            armed_ = false;
            return false;
        }
        call();
        armed_ = false;
        return true;
    }

    static void Handler(pdf_document *document, int type, const char *message) {
        Recorder *self = static_cast<Recorder *>(PDF_get_client_data(document));
        self->reports.push_back({type, message});
        if (type != PDF_ERR_NONFATAL && self->armed_) longjmp(self->jump_, 1);
    }

    pdf_document *New() { return PDF_new_with_handlers(Handler, nullptr, nullptr, nullptr, this); }

    const Report &Last() const { return reports.back(); }
    bool Saw(int type, const std::string &message) const {
        for (const Report &r : reports)
            if (r.type == type && r.message == message) return true;
        return false;
    }

    std::vector<Report> reports;

private:
    std::jmp_buf jump_;
    bool armed_ = false;
};
