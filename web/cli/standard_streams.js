// Node's standard streams, pipes and devices as the program's descriptors.
// The compiler's runtime gives the standard streams no path, so they can be
// neither stat'ed nor duplicated (it duplicates a descriptor by opening its
// path again), and calls each a terminal; and it reads and writes every
// file it opens at a position, which pipes and devices refuse. Here the
// standard streams are named /dev/stdin, /dev/stdout and /dev/stderr, and
// opening such a name gives another descriptor of the same stream; their
// status is Node's for that stream, they are terminals only where Node
// says so, and they stay open until the program ends. What is opened is
// read and written at positions only where it is a regular file. Files,
// pipes and -o - then work as natively, on every system Node runs on.
Module['preRun'] = [].concat(Module['preRun'] || [], function () {
  addOnPreMain(function () {
    var fs = require('fs'), tty = require('tty');
    var names = ['/dev/stdin', '/dev/stdout', '/dev/stderr'];
    var standard = function (path) { return names.indexOf(path); };
    for (var fd = 0; fd < 3; ++fd) {
      var stream = FS.streams[fd];
      stream.path = names[fd];
      stream.tty = tty.isatty(fd);
      stream.flags = fd === 0 ? 0 : 1;  // O_RDONLY, O_WRONLY
    }
    var open = FS.open, close = FS.close, stat = FS.stat;
    FS.open = function (path, flags, mode, suggestFD) {
      var k = standard(path);
      if (k < 0) {
        var opened = open.apply(FS, arguments);
        if (opened.nfd !== undefined && !fs.fstatSync(opened.nfd).isFile()) opened.seekable = false;
        return opened;
      }
      var fd = suggestFD != null ? suggestFD : FS.nextfd(3);
      var stream = { fd: fd, nfd: k, position: 0, path: path, flags: k === 0 ? 0 : 1, tty: FS.streams[k] ? FS.streams[k].tty : tty.isatty(k), seekable: false };
      FS.streams[fd] = stream;
      return stream;
    };
    FS.close = function (stream) {
      if (stream.nfd !== undefined && stream.nfd < 3) return FS.closeStream(stream.fd);
      return close.apply(FS, arguments);
    };
    FS.stat = function (path) {
      var k = standard(path);
      return k < 0 ? stat.apply(FS, arguments) : fs.fstatSync(k);
    };
  });
});
