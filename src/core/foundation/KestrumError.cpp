#include "KestrumError.h"

#include "Translatable.h"

namespace kestrum {

KestrumError::KestrumError(QString code, QString description)
    : m_code(std::move(code)), m_description(std::move(description)), m_utf8(m_description.toUtf8()) {}

QString describeException(std::exception_ptr error) {
    try {
        if (error)
            std::rethrow_exception(error);
    } catch (const KestrumError& e) {
        return e.description();
    } catch (const CancellationError&) {
        return trText("İşlem iptal edildi.");
    } catch (const QUnhandledException& e) {
        return describeException(e.exception());
    } catch (const std::exception& e) {
        return trTemplate("Beklenmeyen hata: \\(detail)", {QString::fromUtf8(e.what())});
    } catch (...) {
    }
    return trText("Beklenmeyen bir hata oluştu.");
}

} // namespace kestrum
