// barcode TYPE DATA --out FILE.png [--checksum | --no-checksum] [--width N | --module N]
#include "barcode_draw.h"
#include "cmd_report.h"
#include "safe_file.h"

#include <QBuffer>
#include <cstdio>

namespace {
// A whole number of pixels from low to high, or a usage error naming the option.
int Pixels(const QString& option, const QString& text, int low, int high) {
    bool ok = false;
    const int n = text.toInt(&ok);
    if (!ok || n < low || n > high)
        throw UsageError(QStringLiteral("%1 takes a whole number of pixels from %2 to %3")
                             .arg(option)
                             .arg(low)
                             .arg(high)
                             .toStdString());
    return n;
}
} // namespace

int CmdBarcode(CliContext& ctx) {
    const QString typeName = ctx.args.positional("TYPE");
    const QString data = ctx.args.positional("DATA");
    QString out, width, module;
    if (!ctx.args.take("--out", out) || out.isEmpty()) throw UsageError("missing --out FILE.png");
    const bool hasWidth = ctx.args.take("--width", width);
    const bool hasModule = ctx.args.take("--module", module);
    const bool checksum = ctx.args.flag("--checksum"), noChecksum = ctx.args.flag("--no-checksum");
    ctx.args.finish();
    if (checksum && noChecksum) throw UsageError("give at most one of --checksum and --no-checksum");
    if (hasWidth && hasModule) throw UsageError("give at most one of --width and --module");

    TAsBarcode bc;
    bc.BarCode = data;
    if (typeName.compare(QLatin1String("CodeEANAuto"), Qt::CaseInsensitive) == 0) {
        const EanAutoChoice choice = ChooseEanAuto(data);
        bc.BarCodeType = choice.type;
        bc.BarCode = choice.data;
    } else if (!BarcodeTypeFromName(typeName, bc.BarCodeType) || bc.BarCodeType == bcTypeUndefined) {
        throw UsageError(("unknown barcode type " + typeName).toStdString());
    }
    if (checksum || noChecksum) bc.UseCheckSum = checksum;
    bc.ShowTextPosition = stpBottomCenter;
    // Three pixels a module by default: readers miss the narrow bars of one-pixel modules.
    bc.SetModul(hasModule ? Pixels("--module", module, 1, 49) : 3);
    if (hasWidth) bc.SetWidth(Pixels("--width", width, 1, 1 << 16));
    // Ten modules of quiet zone around the bars, as the readers need. Drawing raises for data the
    // symbology cannot encode, before any file is touched.
    const QImage image = BarcodeImage(bc, 10 * bc.Modul());
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) throw Exception(QStringLiteral("Cannot encode the picture as PNG."));
    SafeFile file(out);
    file.write(png);
    file.commit();
    std::printf("%s\n", bc.Encoding().text.toUtf8().constData());
    return 0;
}
