// Loads a module of the pages (server/web) the way Node loads any CommonJS file.
'use strict';
const path = require('node:path');
const dir = path.resolve(__dirname, '..', '..', '..', 'server', 'web');
module.exports = (name) => require(path.join(dir, name));
