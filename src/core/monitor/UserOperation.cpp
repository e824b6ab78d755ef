#include "UserOperation.h"

#include "foundation/Translatable.h"

namespace kestrum {

UserOperationTraits UserOperationTraits::of(UserOperation operation) {
    switch (operation) {
    case UserOperation::networkQuality:
        return {true, false, -1, false, trText("Ağ kalite testi iptal edildi.")};
    case UserOperation::networkSpeed:
        return {true, false, -1, false, trText("İnternet hız testi iptal edildi.")};
    case UserOperation::quickHealthTest:
        return {false, false, -1, false, trText("Hızlı sağlık testi iptal edildi.")};
    case UserOperation::deepHealthTest:
        return {false, true, 470, true, trText("Derin sağlık testi iptal edildi.")};
    case UserOperation::cpuBenchmark:
        return {false, false, -1, false, trText("CPU benchmark iptal edildi.")};
    case UserOperation::fullSystemScan:
        return {false, true, 545, true,
                trText("Tam Tarama iptal edildi. Tamamlanmayan tarama geçmişe kaydedilmedi.")};
    }
    return {};
}

} // namespace kestrum
