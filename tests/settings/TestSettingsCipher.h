#pragma once

#include <QObject>

class TestSettingsCipher : public QObject
{
    Q_OBJECT

private slots:
    void sha1_fipsVectors_data();
    void sha1_fipsVectors();

    void randomPool_deterministicPerSourceAndChunkIndependent();
    void randomPool_matchesModelOnOpenSslCompression();
    void randomPool_deadSourceDoesNotHang();
    void salts_freshForEveryEncryption();

    void cipherInit_matchesIndependentDerivationAndKeyStream_data();
    void cipherInit_matchesIndependentDerivationAndKeyStream();
    void cipherInit_refusesLongPasswordAndBadMode();
    void transform_anyChunkingSameBytes();
    void transform_counterCarryOutOfByte7IsDropped();

    void encrypt_layoutAndKeySizeFollowPasswordLength_data();
    void encrypt_layoutAndKeySizeFollowPasswordLength();
    void roundTrip_bufferBoundaries_data();
    void roundTrip_bufferBoundaries();
    void roundTrip_bufferSizeDoesNotChangeBytes();
    void encrypt_sameTextTwiceDiffersAndBothDecrypt();
    void progressHandler_reportsKindsAndCounts();

    void decrypt_wrongPasswordWritesNothing();
    void decrypt_flippedBitWritesWholeTextThenFails();
    void decrypt_withoutDestOnlyVerifies();
    void decrypt_truncatedSourceFails_data();
    void decrypt_truncatedSourceFails();
    void streams_failingDeviceEndsWithFalse_data();
    void streams_failingDeviceEndsWithFalse();
    void streams_passwordOver128BytesWritesNothing();

    void settingsFile_roundTripAndLayout();
    void settingsFile_damagedSourceLeavesDestinationEmpty();
    void settingsFile_openFailuresReturnFalse();

    // Against 7-Zip's zip AES entries (test_zip_interop.cpp).
    void sevenZipEntry_decryptsWithOurCipher_data();
    void sevenZipEntry_decryptsWithOurCipher();
    void ourStream_acceptedAndExtractedBy7Zip_data();
    void ourStream_acceptedAndExtractedBy7Zip();
};
