// Kestrel page agent, recorder part: functions added with window.__kestrel.define.
