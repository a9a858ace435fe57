#include "picture/load_failure.h"

namespace {

// Windows error numbers, as the platform's headers define them.
constexpr uint32_t kErrorFileNotFound = 2;
constexpr uint32_t kErrorPathNotFound = 3;
constexpr uint32_t kErrorAccessDenied = 5;
constexpr uint32_t kErrorInvalidDrive = 15;
constexpr uint32_t kErrorSharingViolation = 32;
constexpr uint32_t kErrorLockViolation = 33;
constexpr uint32_t kErrorBadNetPath = 53;
constexpr uint32_t kErrorBadNetName = 67;
constexpr uint32_t kErrorInvalidName = 123;
constexpr uint32_t kErrorBadPathName = 161;
constexpr uint32_t kErrorFilenameExcedRange = 206;

}  // namespace

const wchar_t kNameTooLongText[] =
    L"名前が長すぎます（この Windows では長いパスが有効になっていません）。"
    L"短い名前のフォルダーに移して下さい。";

LoadFailure LoadFailureOfFileError(uint32_t error)
{
    switch (error) {
    case kErrorFileNotFound:
    case kErrorPathNotFound:
    case kErrorInvalidDrive:
    case kErrorBadNetPath:
    case kErrorBadNetName:
    case kErrorInvalidName:
    case kErrorBadPathName: return LoadFailure::kMissing;
    case kErrorAccessDenied:
    case kErrorSharingViolation:
    case kErrorLockViolation: return LoadFailure::kAccessDenied;
    case kErrorFilenameExcedRange: return LoadFailure::kNameTooLong;
    default: return LoadFailure::kUnreadable;
    }
}

bool NameTooLongForSystem(uint32_t error, size_t nameLength, bool longPathsEnabled)
{
    if (error == kErrorFilenameExcedRange)
        return true;
    return !longPathsEnabled && nameLength >= 260
           && (error == kErrorPathNotFound || error == kErrorFileNotFound);
}

LoadFailure LoadFailureOfBmp(BmpStatus status)
{
    switch (status) {
    case BmpStatus::kNotBmp: return LoadFailure::kNotBmp;
    case BmpStatus::kUnsupportedHeader:
    case BmpStatus::kUnsupportedFormat: return LoadFailure::kUnsupportedBmp;
    case BmpStatus::kTooLarge: return LoadFailure::kTooLarge;
    case BmpStatus::kOk:
    case BmpStatus::kTooShort:
    case BmpStatus::kBadHeader:
    case BmpStatus::kBadMasks:
    case BmpStatus::kBadColorTable:
    case BmpStatus::kBadArguments: break;
    }
    return LoadFailure::kDamaged;
}

LoadFailure LoadFailureOfPluginDib(PluginDibStatus status)
{
    // Only the size is the file's own fault; any other broken picture is
    // the plug-in's failure to decode it.
    return status == PluginDibStatus::kTooLarge ? LoadFailure::kTooLarge
                                                : LoadFailure::kPluginFailed;
}

const wchar_t* LoadFailureReason(LoadFailure failure)
{
    switch (failure) {
    case LoadFailure::kMissing: return L"ファイルが見つかりません。";
    case LoadFailure::kAccessDenied:
        return L"ファイルを読む権限がないか、ほかのプログラムが使用中です。";
    case LoadFailure::kUnreadable: return L"ファイルを読み取れませんでした。";
    case LoadFailure::kNotBmp: return L"BMP 形式の画像ではありません。";
    case LoadFailure::kDamaged:
        return L"ファイルが壊れています（BMP のヘッダーや大きさが正しくありません）。";
    case LoadFailure::kUnsupportedBmp:
        return L"この種類の BMP（ヘッダー・ビット数・圧縮形式）には対応していません。";
    case LoadFailure::kTooLarge:
        return L"画像が大きすぎます（幅・高さは 65535 ピクセル、画素データは 512MB まで"
               L"読み込めます）。";
    case LoadFailure::kNoPlugins:
        return L"画像ファイルではないか、Windows の画像コーデックでは読めない種類の画像です"
               L"（BMP 以外の画像を読む画像プラグインは 1 つもありません）。";
    case LoadFailure::kNoPlugin:
        return L"画像ファイルではないか、この種類の画像を読める画像プラグインも "
               L"Windows の画像コーデックもありません。";
    case LoadFailure::kPluginFailed:
        return L"画像プラグインがこのファイルを読み取れませんでした（ファイルが壊れている"
               L"可能性があります）。";
    case LoadFailure::kPluginStopped:
        return L"画像プラグインが応答しなくなったか、異常終了しました。";
    case LoadFailure::kHelperMissing:
        return L"画像プラグインを動かす kelvo-spihost.exe が kelvo.exe と同じフォルダーにないため、"
               L"BMP 以外のファイルは開けません。";
    case LoadFailure::kNameTooLong: return kNameTooLongText;
    case LoadFailure::kNameForPlugins:
        return L"ファイル名に、この Windows の文字コードで表せない文字が含まれているため、"
               L"画像プラグインにはファイルの中身をメモリーで渡しましたが、"
               L"それを受け付ける画像プラグインがありませんでした"
               L"（メモリーからは読めない画像プラグインか、画像ファイルではありません）。"
               L"Windows の画像コーデックも読めませんでした。";
    case LoadFailure::kCodecFailed:
        return L"Windows の画像コーデックがこのファイルを読み取れませんでした（ファイルが"
               L"壊れている可能性があります）。";
    case LoadFailure::kCodecStopped:
        return L"Windows の画像コーデックが応答しなくなったか、異常終了しました。";
    case LoadFailure::kNoMemory: return L"メモリーが足りないため、画像を作れませんでした。";
    case LoadFailure::kClipboard:
        return L"クリップボードを開けなかったため、画像を置けませんでした。";
    }
    return L"ファイルを読み取れませんでした。";
}

std::wstring LoadFailedText(const std::wstring& path, LoadFailure failure)
{
    return L"読込に失敗しました( " + path + L" )\r\n\r\n" + LoadFailureReason(failure);
}
