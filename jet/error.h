#pragma once
// A failure of the Jet engine, shaped like the errors users know from DAO: a number and a
// description.

#include <stdexcept>
#include <string>

namespace jet {

enum ErrorNumber : int {
    kNoCurrentRecord = 3021,
    kFileNotFound = 3024,
    kNotAValidPassword = 3031,
    kPathNotFound = 3044,
    kFileInUse = 3045,
    kCannotOpenFile = 3051,
    kItemNotFound = 3265,
    kUnrecognizedFormat = 3343,
    kCorruptDatabase = 3049,
    kObjectInvalid = 3420,
    kInvalidArgument = 3001,
    kDiskIo = 3043,
    kReadOnly = 3027,
    kSharedPasswordChange = 3621,
    kResourceExceeded = 3035,
    kTooManyFields = 3190,
    kDuplicateField = 3191,
    kTypeConversion = 3421,
    kRecordDeleted = 3167,
};

class JetError : public std::runtime_error {
  public:
    JetError(int number, const std::string& description)
        : std::runtime_error(description), number_(number) {}
    int number() const { return number_; }
    std::string description() const { return what(); }

  private:
    int number_;
};

// The descriptions below follow the wording of the engine these files come from.
inline JetError notAValidPassword() {
    return {kNotAValidPassword, "Not a valid password."};
}
inline JetError fileInUse(const std::string& path) {
    return {kFileInUse, "Could not use '" + path + "'; file already in use."};
}
inline JetError unrecognizedFormat(const std::string& path) {
    return {kUnrecognizedFormat, "Unrecognized database format '" + path + "'."};
}
inline JetError itemNotFound() {
    return {kItemNotFound, "Item not found in this collection."};
}
inline JetError noCurrentRecord() {
    return {kNoCurrentRecord, "No current record."};
}
inline JetError fileNotFound(const std::string& path) {
    return {kFileNotFound, "Could not find file '" + path + "'."};
}
inline JetError pathNotFound(const std::string& path) {
    return {kPathNotFound, "'" + path + "' is not a valid path."};
}
inline JetError readOnlyFile(const std::string& path) {
    return {kCannotOpenFile, "The Microsoft Jet database engine cannot open the file '" + path +
                                 "'. It is already opened exclusively by another user, or you need "
                                 "permission to view its data."};
}
// Structure that cannot be what an Access-made file holds: an offset, length or chain out of
// bounds.
inline JetError corrupt(const std::string& what) {
    return {kCorruptDatabase, "Database is corrupt: " + what + "."};
}
// A problem Database::check found, as the failure of a write that will not touch a damaged file;
// the problem's line is the whole description.
inline JetError checkedCorrupt(const std::string& problem) {
    return {kCorruptDatabase, problem};
}
inline JetError objectInvalid() {
    return {kObjectInvalid, "Object invalid or no longer set."};
}
inline JetError invalidArgument(const std::string& what) {
    return {kInvalidArgument, "Invalid argument: " + what + "."};
}
inline JetError readOnlyDatabase() {
    return {kReadOnly, "Cannot update. Database or object is read-only."};
}
inline JetError sharedPasswordChange() {
    return {kSharedPasswordChange, "Can't change password on a shared open database."};
}
inline JetError diskIo(const std::string& what) {
    return {kDiskIo, "Disk or network error: " + what + "."};
}
inline JetError resourceExceeded(const std::string& what) {
    return {kResourceExceeded, "System resource exceeded: " + what + "."};
}
inline JetError tooManyFields() {
    return {kTooManyFields, "Too many fields defined."};
}
inline JetError duplicateField() {
    return {kDuplicateField, "Cannot define field more than once."};
}
inline JetError typeConversion() {
    return {kTypeConversion, "Data type conversion error."};
}
inline JetError recordDeleted() {
    return {kRecordDeleted, "Record is deleted."};
}

}  // namespace jet
